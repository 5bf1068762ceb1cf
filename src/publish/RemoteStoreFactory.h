#pragma once

#include "PublishSettings.h"
#include "PublishTarget.h"
#include "SftpStore.h"

#include <memory>

namespace RemoteStoreFactory {
// The store for a valid target's kind.
std::unique_ptr<RemoteStore> create(const PublishTarget &target, const PublishSettings &settings,
                                    SftpStore::TrustHost trustHost = {});
} // namespace RemoteStoreFactory
