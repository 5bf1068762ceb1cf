#pragma once

#include "LoopbackServer.h"

// @20minutes/s3rver under Node.js, from the folder scripts/ installs it
// into; it checks SigV4 signatures. One bucket, "pod"; key and secret
// "S3RVER".
class S3Server : public LoopbackServer {
public:
    QString data() const { return folder() + QStringLiteral("/data"); }

    bool start() {
        const QString modules = qEnvironmentVariable("BRINDLEWOOD_NPM_DIR");
        if (!QFile::exists(modules + QStringLiteral("/node_modules/@20minutes/s3rver")))
            return skip(QStringLiteral("@20minutes/s3rver is not installed in %1 (scripts/test "
                                       "installs it)")
                            .arg(modules));
        const QString script =
            qEnvironmentVariable("BRINDLEWOOD_TEST_DATA") + QStringLiteral("/s3rver-start.js");
        return launch(QStringLiteral("node"),
                      {script, modules, data(), QString::number(m_port), QStringLiteral("pod")});
    }
};
