#pragma once
// The browser host's answers: one JSON reply to each JSON request of the
// extension. It reads what the program left for the browser (the registered
// menu entries, the shared text block, config.ini, QuickNotes.dat) and hands
// clipboard commands to the running program over its capture socket,
// starting the program first when it is not running. Every failure becomes
// {"ok":false,"error":…} with a sentence the extension can show the user;
// nothing here ends the host.
#include "browser/host/ProgramStarter.h"
#include "platform/CaptureChannel.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

class BrowserHost {
  public:
    struct Options {
        // Where config.ini and QuickNotes.dat live, with a trailing '/'.
        QString programDir;
        // How long a started program has to open its capture socket, and
        // how long the program has to confirm a command; one written whole
        // is the program's after that all the same.
        int startTimeoutMs = 10000;
        int answerTimeoutMs = 10000;
    };
    explicit BrowserHost(Options options);

    // The reply to one message as the browser sent it.
    QJsonObject answer(const QByteArray& message);

    static QJsonObject failure(const QString& error);
    // The program folder the host serves: VELLUM_HOME when set; otherwise
    // the folder that the program last registered its menu pages in, since
    // the program may keep its data apart from the host; otherwise the
    // host's own folder.
    static QString findProgramDir();

  private:
    QJsonObject menu() const;
    QJsonObject command(const QJsonObject& request);
    QJsonObject post() const;
    QJsonObject next() const;
    QJsonObject settings() const;
    QJsonObject notes() const;
    // Sends to the running program, or starts it and sends then.
    QJsonObject deliver(const QByteArray& utf8Text);
    // The reply for a command that got this far; nullopt when nobody listens.
    static std::optional<QJsonObject> handedOver(Handover how, const QString& error);

    Options m_options;
    ProgramStarter m_starter;
};
