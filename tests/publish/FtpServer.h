#pragma once

#include "LoopbackServer.h"

// vsftpd with explicit TLS on a fresh self-signed certificate for
// 127.0.0.1. Logins are anonymous, with writes, renames and new folders
// allowed under /pub; data connections are passive on loopback. Needs root.
class FtpServer : public LoopbackServer {
public:
    QString certificate() const { return folder() + QStringLiteral("/cert.pem"); }
    QString pub() const { return folder() + QStringLiteral("/root/pub"); }

    bool start() {
        if (::geteuid() != 0)
            return skip(QStringLiteral("vsftpd needs root"));
        if (!QFile::exists(QStringLiteral("/usr/sbin/vsftpd")))
            return skip(QStringLiteral("vsftpd is not installed"));
        const QString dir = folder();
        QDir().mkpath(pub());
        QDir().mkpath(dir + QStringLiteral("/empty"));
        // Anonymous uploads are written as the "ftp" user the package makes.
        if (!run(QStringLiteral("chown"), {QStringLiteral("ftp"), pub()}))
            return skip(QStringLiteral("no user \"ftp\" to own the upload folder"));
        if (!run(QStringLiteral("openssl"),
                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                  QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                  dir + QStringLiteral("/key.pem"), QStringLiteral("-out"), certificate(),
                  QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                  QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                  QStringLiteral("subjectAltName=IP:127.0.0.1")}))
            return skip(QStringLiteral("openssl could not make a certificate"));
        const int passive = freePort();
        const QByteArray d = dir.toUtf8();
        writeFile(
            dir + QStringLiteral("/vsftpd.conf"),
            "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + QByteArray::number(m_port) +
                "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                "anon_other_write_enable=YES\nanon_umask=022\nallow_writeable_chroot=YES\n"
                "anon_root=" +
                d +
                "/root\nssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                "force_anon_data_ssl=YES\nrequire_ssl_reuse=NO\nrsa_cert_file=" +
                certificate().toUtf8() + "\nrsa_private_key_file=" + d +
                "/key.pem\npasv_enable=YES\npasv_address=127.0.0.1\npasv_min_port=" +
                QByteArray::number(passive) + "\npasv_max_port=" + QByteArray::number(passive) +
                "\nseccomp_sandbox=NO\nxferlog_enable=NO\nsecure_chroot_dir=" + d + "/empty\n");
        return launch(QStringLiteral("/usr/sbin/vsftpd"), {dir + QStringLiteral("/vsftpd.conf")});
    }
};
