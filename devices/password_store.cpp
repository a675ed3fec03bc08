#include "devices/password_store.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>

namespace {

const QString kService = QStringLiteral("Tessaly");
constexpr int kNowTimeoutMs = 120000;

KeychainResult ResultOf(const QKeychain::Job& job) {
    KeychainResult result;
    switch (job.error()) {
        case QKeychain::NoError:
            result.status = KeychainStatus::Ok;
            if (const auto* read = qobject_cast<const QKeychain::ReadPasswordJob*>(&job))
                result.password = read->textData().toStdString();
            break;
        case QKeychain::EntryNotFound:
            result.status = KeychainStatus::NotFound;
            break;
        default:
            result.status = KeychainStatus::Unavailable;
            result.error = job.errorString().toStdString();
            break;
    }
    return result;
}

// Starts the job; it deletes itself once `done` has run.
void Start(QKeychain::Job* job, const std::string& key, QObject* context, KeychainDone done) {
    job->setKey(QString::fromStdString(key));
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain-text file instead of the keychain
    QObject::connect(
        job, &QKeychain::Job::finished, context,
        [done = std::move(done)](QKeychain::Job* finished) { done(ResultOf(*finished)); });
    job->start();
}

// Runs one job to its end in a local event loop.
KeychainResult RunNow(const std::function<void(QObject*, KeychainDone)>& startJob) {
    std::unique_ptr<QCoreApplication> app;
    static int argc = 1;
    static char name[] = "tessaly";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);
    KeychainResult result;
    result.error = "the keychain did not answer";
    QEventLoop loop;
    startJob(&loop, [&](const KeychainResult& answer) {
        result = answer;
        loop.quit();
    });
    QTimer::singleShot(kNowTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

}  // namespace

void ReadPassword(const std::string& key, QObject* context, KeychainDone done) {
    Start(new QKeychain::ReadPasswordJob(kService), key, context, std::move(done));
}

void WritePassword(const std::string& key, const std::string& password, QObject* context,
                   KeychainDone done) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setTextData(QString::fromStdString(password));
    Start(job, key, context, std::move(done));
}

void ErasePassword(const std::string& key, QObject* context, KeychainDone done) {
    Start(new QKeychain::DeletePasswordJob(kService), key, context,
          [done = std::move(done)](const KeychainResult& result) {
              // Nothing stored is nothing to erase.
              done(result.status == KeychainStatus::NotFound
                       ? KeychainResult{KeychainStatus::Ok, {}, {}}
                       : result);
          });
}

KeychainResult ReadPasswordNow(const std::string& key) {
    return RunNow([&key](QObject* context, KeychainDone done) {
        ReadPassword(key, context, std::move(done));
    });
}

KeychainResult WritePasswordNow(const std::string& key, const std::string& password) {
    return RunNow([&](QObject* context, KeychainDone done) {
        WritePassword(key, password, context, std::move(done));
    });
}

KeychainResult ErasePasswordNow(const std::string& key) {
    return RunNow([&key](QObject* context, KeychainDone done) {
        ErasePassword(key, context, std::move(done));
    });
}
