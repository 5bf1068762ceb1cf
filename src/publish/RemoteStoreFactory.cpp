#include "RemoteStoreFactory.h"

#include "FtpStore.h"
#include "S3Store.h"

namespace RemoteStoreFactory {
std::unique_ptr<RemoteStore> create(const PublishTarget &target, const PublishSettings &settings,
                                    SftpStore::TrustHost trustHost) {
    switch (target.kind) {
    case PublishTarget::Kind::Sftp:
        return std::make_unique<SftpStore>(target, settings, std::move(trustHost));
    case PublishTarget::Kind::S3:
        return std::make_unique<S3Store>(target, settings);
    case PublishTarget::Kind::Ftps:
    case PublishTarget::Kind::Ftp:
        return std::make_unique<FtpStore>(target, settings);
    case PublishTarget::Kind::Invalid:
        break;
    }
    return nullptr;
}
} // namespace RemoteStoreFactory
