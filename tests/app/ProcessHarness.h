#pragma once
// The real executable on its own X server (xvfb-run -a), in a test's folders.
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <sys/types.h>

class RunningVellum {
  public:
    // The executable to run: the build's own, or an installed copy.
    QString executable = QStringLiteral(VELLUM_EXE);

    // Starts the program and waits until its window is shown. extra holds
    // NAME=value settings; "NAME=" with no value removes the variable.
    bool start(const TestEnv& env, const QStringList& extra = {}) {
        QProcessEnvironment pe = env.processEnvironment();
        pe.insert("VELLUM_BENCH", "1");
        // Desktop libraries keep some allocations until exit; ours must not.
        pe.insert("LSAN_OPTIONS", "suppressions=" VELLUM_SOURCE_DIR "/tests/lsan.supp");
        pe.insert("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
        pe.remove("QT_QPA_PLATFORM");
        for (const QString& kv : extra) {
            if (kv.endsWith(QLatin1Char('=')) && kv.count(QLatin1Char('=')) == 1)
                pe.remove(kv.chopped(1));
            else
                pe.insert(kv.section('=', 0, 0), kv.section('=', 1));
        }
        m_proc.setProcessEnvironment(pe);
        // The display and its authority file are printed first, so that a
        // test can reach the same X server (for the clipboard). A test that
        // needs a desktop part (a notification area) names the shell command
        // that starts it in VELLUM_TEST_DESKTOP; it runs before the program.
        m_proc.start("xvfb-run", {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c",
                                  "echo \"vellum-display $DISPLAY $XAUTHORITY\" >&2; "
                                  "eval \"$VELLUM_TEST_DESKTOP\"; exec \"$0\"",
                                  executable});
        if (!m_proc.waitForStarted(10000))
            return false;
        static const QRegularExpression ready("window shown \\(pid (\\d+)\\)");
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            m_proc.waitForReadyRead(200);
            m_stderr += m_proc.readAllStandardError();
            static const QRegularExpression display("vellum-display (\\S+) (\\S+)");
            const auto shown = display.match(QString::fromLocal8Bit(m_stderr));
            if (shown.hasMatch()) {
                m_display = shown.captured(1);
                m_xauthority = shown.captured(2);
            }
            const auto match = ready.match(QString::fromLocal8Bit(m_stderr));
            if (match.hasMatch()) {
                m_pid = match.captured(1).toLongLong();
                return true;
            }
            if (m_proc.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    // SIGTERM to the program itself; returns its exit code, or -1.
    int terminate() {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGTERM);
        if (!m_proc.waitForFinished(60000)) {
            m_proc.kill();
            return -1;
        }
        m_stderr += m_proc.readAllStandardError();
        return m_proc.exitCode();
    }
    // Sends a signal to the program itself.
    void signal(int number) {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), number);
    }
    // Waits for the program to end by itself; its exit code, or -1.
    int waitForExit(int ms) {
        if (!m_proc.waitForFinished(ms))
            return -1;
        m_stderr += m_proc.readAllStandardError();
        return m_proc.exitCode();
    }
    // SIGKILL to the program: nothing runs after it.
    void kill() {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGKILL);
        m_proc.waitForFinished(60000);
        m_stderr += m_proc.readAllStandardError();
    }
    QByteArray errors() const { return m_stderr; }
    // An environment in which X clients reach the program's display.
    QProcessEnvironment xEnvironment() const {
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert("DISPLAY", m_display);
        pe.insert("XAUTHORITY", m_xauthority);
        return pe;
    }
    ~RunningVellum() {
        if (m_proc.state() != QProcess::NotRunning) {
            if (m_pid > 0)
                ::kill(pid_t(m_pid), SIGKILL);
            m_proc.waitForFinished(10000);
        }
    }

  private:
    QProcess m_proc;
    qint64 m_pid = 0;
    QString m_display;
    QString m_xauthority;
    QByteArray m_stderr;
};
