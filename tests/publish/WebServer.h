#pragma once

#include "LoopbackServer.h"

// nginx serving one folder, for the checks a publish makes online and for
// reading feeds from the web; /moved redirects once, /loop for ever.
class WebServer : public LoopbackServer {
public:
    bool start(const QString &root) {
        if (::geteuid() != 0)
            return skip(QStringLiteral("nginx needs root here"));
        if (!QFile::exists(QStringLiteral("/usr/sbin/nginx")))
            return skip(QStringLiteral("nginx is not installed"));
        const QByteArray dir = folder().toUtf8();
        writeFile(folder() + QStringLiteral("/nginx.conf"),
                  "daemon off;\nmaster_process off;\nuser root;\npid " + dir +
                      "/nginx.pid;\nerror_log stderr;\nevents {}\nhttp {\n access_log off;\n"
                      " client_body_temp_path " +
                      dir + "/body;\n proxy_temp_path " + dir + "/proxy;\n fastcgi_temp_path " +
                      dir + "/fastcgi;\n uwsgi_temp_path " + dir + "/uwsgi;\n scgi_temp_path " +
                      dir + "/scgi;\n server {\n  listen 127.0.0.1:" + QByteArray::number(m_port) +
                      ";\n  root " + root.toUtf8() +
                      ";\n  location = /moved { return 301 /web/Podcast.xml; }\n"
                      "  location = /loop { return 302 /loop; }\n }\n}\n");
        return launch(QStringLiteral("/usr/sbin/nginx"),
                      {QStringLiteral("-p"), folder(), QStringLiteral("-c"),
                       folder() + QStringLiteral("/nginx.conf")});
    }
};
