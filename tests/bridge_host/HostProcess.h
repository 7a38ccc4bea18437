#pragma once
// The real browser host as a second process, spoken to the way a browser
// does: length-prefixed JSON on its standard input and output. Waiting keeps
// the test's event loop running, so a capture socket served by the test
// itself can answer the host meanwhile.
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <cstdint>
#include <cstring>

class HostProcess {
  public:
    // extraEnv holds NAME=value settings; "NAME=" with no value removes it.
    explicit HostProcess(const TestEnv& env, const QStringList& extraEnv = {},
                         const QString& executable = QStringLiteral(VELLUM_BROWSER_HOST_EXE)) {
        QProcessEnvironment pe = env.processEnvironment();
        pe.insert("LSAN_OPTIONS", "suppressions=" VELLUM_SOURCE_DIR "/tests/lsan.supp");
        for (const QString& kv : extraEnv) {
            if (kv.endsWith(QLatin1Char('=')) && kv.count(QLatin1Char('=')) == 1)
                pe.remove(kv.chopped(1));
            else
                pe.insert(kv.section('=', 0, 0), kv.section('=', 1));
        }
        m_proc.setProcessEnvironment(pe);
        m_proc.setProcessChannelMode(QProcess::SeparateChannels);
        // What a browser passes: the calling extension's origin.
        m_proc.start(executable, {"chrome-extension://kjcnbijjdjjginciopfgpkjnbheckabh/"});
        m_proc.waitForStarted(10000);
    }
    ~HostProcess() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(10000);
        }
    }

    static QByteArray frame(const QByteArray& body) {
        const std::uint32_t n = std::uint32_t(body.size());
        QByteArray out(4, Qt::Uninitialized);
        std::memcpy(out.data(), &n, 4);
        return out + body;
    }
    void sendRaw(const QByteArray& bytes) { m_proc.write(bytes); }
    void send(const QJsonObject& message) {
        sendRaw(frame(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    }

    // The next reply, or an empty object when none arrives in time.
    QJsonObject reply(int timeoutMs = 30000) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            m_out += m_proc.readAllStandardOutput();
            if (m_out.size() >= 4) {
                std::uint32_t n = 0;
                std::memcpy(&n, m_out.constData(), 4);
                lastReplySize = n;
                if (m_out.size() >= 4 + qsizetype(n)) {
                    const QByteArray body = m_out.mid(4, n);
                    m_out.remove(0, 4 + qsizetype(n));
                    return QJsonDocument::fromJson(body).object();
                }
            }
            if (clock.elapsed() > timeoutMs || m_proc.state() == QProcess::NotRunning)
                return {};
            QTest::qWait(5);
        }
    }
    QJsonObject ask(const QJsonObject& message, int timeoutMs = 30000) {
        send(message);
        return reply(timeoutMs);
    }

    // Closes the host's input as a browser does; returns its exit code, or
    // -1 when it did not end normally.
    int finish(int timeoutMs = 30000) {
        m_proc.closeWriteChannel();
        QElapsedTimer clock;
        clock.start();
        while (m_proc.state() != QProcess::NotRunning && clock.elapsed() < timeoutMs)
            QTest::qWait(10);
        if (m_proc.state() != QProcess::NotRunning)
            return -1;
        return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
    }
    QByteArray errors() { return m_proc.readAllStandardError(); }
    qint64 pid() const { return m_proc.processId(); }

    std::uint32_t lastReplySize = 0;

  private:
    QProcess m_proc;
    QByteArray m_out;
};
