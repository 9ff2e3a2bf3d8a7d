#include "ui/batch/KeychainSecretStore.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <utility>

namespace {

// Long enough for a local keychain daemon, short enough that a window start stays lively.
constexpr int64_t kWaitMs = 2000;

// Bus names under which a store that QtKeychain can use answers (or is started on demand).
const char* const kSecretServices[] = {"org.freedesktop.secrets", "org.kde.kwalletd6", "org.kde.kwalletd5"};
const char* const kProbeBusName = "fleetset-secret-probe";

int wait_ms() { return static_cast<int>(Clock::real_ms(kWaitMs)); }

bool bus_offers_secret_service(QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    for (const char* method : {"ListNames", "ListActivatableNames"}) {
        const QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
        const QStringList names = bus.call(ask, QDBus::Block, wait_ms()).arguments().value(0).toStringList();
        for (const char* service : kSecretServices)
            if (names.contains(QString::fromLatin1(service))) return true;
    }
    return false;
}

bool secret_service_on(const QString& bus_address) {
    if (bus_address.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus_offers_secret_service(bus);
    }
    bool found = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(bus_address, QString::fromLatin1(kProbeBusName));
        found = bus_offers_secret_service(bus);
    }
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kProbeBusName));
    return found;
}

struct Answer {
    bool done = false;
    QKeychain::Error error = QKeychain::OtherError;
    QString text;
    QString error_text;
};

// Starts the read and waits for its answer at most kWaitMs. The answer lives on in the
// shared record when the job finishes late, after the caller gave up.
std::shared_ptr<Answer> read_bounded(const QString& service, const QString& name) {
    auto answer = std::make_shared<Answer>();
    auto* job = new QKeychain::ReadPasswordJob(service);  // deletes itself when finished
    job->setKey(name);
    QObject::connect(job, &QKeychain::Job::finished, job, [answer, job](QKeychain::Job*) {
        answer->error = job->error();
        answer->text = job->textData();
        answer->error_text = job->errorString();
        answer->done = true;
    });
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(wait_ms(), &loop, &QEventLoop::quit);
    job->start();
    if (!answer->done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return answer;
}

} // namespace

struct KeychainSecretStore::State {
    enum class Availability { Unknown, Yes, No };
    QString service;
    QString bus_address;
    Availability availability = Availability::Unknown;
};

KeychainSecretStore::KeychainSecretStore(QString service, QString bus_address) : m_state(std::make_shared<State>()) {
    m_state->service = std::move(service);
    m_state->bus_address = std::move(bus_address);
}

KeychainSecretStore::~KeychainSecretStore() = default;

bool KeychainSecretStore::available() {
    using A = State::Availability;
    if (m_state->availability == A::Unknown) {
        bool yes = QCoreApplication::instance() != nullptr && secret_service_on(m_state->bus_address);
        if (yes) {
            // The bus names a store, but QtKeychain may still lack a backend for it.
            const auto answer = read_bounded(m_state->service, QStringLiteral("probe"));
            yes = answer->done && (answer->error == QKeychain::NoError || answer->error == QKeychain::EntryNotFound);
        }
        m_state->availability = yes ? A::Yes : A::No;
    }
    return m_state->availability == A::Yes;
}

std::optional<QString> KeychainSecretStore::read(const QString& name) {
    if (!available()) return std::nullopt;
    const auto answer = read_bounded(m_state->service, name);
    if (!answer->done) {
        debug_log("keychain: no answer for \"%s\" within %lld ms; not asked again\n", name.toUtf8().constData(),
            static_cast<long long>(kWaitMs));
        m_state->availability = State::Availability::No;
        return std::nullopt;
    }
    if (answer->error == QKeychain::NoError) return answer->text;
    if (answer->error != QKeychain::EntryNotFound)  // for example a locked keyring that cannot ask
        debug_log("keychain: reading \"%s\" failed: %s\n", name.toUtf8().constData(),
            answer->error_text.toUtf8().constData());
    return std::nullopt;
}

bool KeychainSecretStore::write(const QString& name, const QString& value) {
    if (!available()) return false;
    auto* job = new QKeychain::WritePasswordJob(m_state->service);  // deletes itself when finished
    job->setKey(name);
    job->setTextData(value);
    QObject::connect(job, &QKeychain::Job::finished, job, [state = m_state, name, job](QKeychain::Job*) {
        if (job->error() == QKeychain::NoError) return;
        debug_log("keychain: storing \"%s\" failed: %s; later saves keep it in the settings file\n",
            name.toUtf8().constData(), job->errorString().toUtf8().constData());
        state->availability = State::Availability::No;
    });
    job->start();
    return true;
}
