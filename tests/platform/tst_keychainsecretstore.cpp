#include "platform/KeychainSecretStore.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The desktop keyring where there is none, as in CI: the editor must learn
// that (and then ask each time), not hang or keep the secret elsewhere.
class tst_KeychainSecretStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noKeyring_keepsNothing();
};

void tst_KeychainSecretStore::noKeyring_keepsNothing() {
    KeychainSecretStore store;
    QVERIFY(!store.isAvailable());
    QVERIFY(!store.write(u"ftp://me@host:21"_s, u"secret"_s));
    QVERIFY(store.read(u"ftp://me@host:21"_s).isNull());
}

int main(int argc, char **argv) {
    // No session bus at all: no Secret Service, no KWallet.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/brindlewood-test-bus");
    QCoreApplication application(argc, argv);
    tst_KeychainSecretStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keychainsecretstore.moc"
