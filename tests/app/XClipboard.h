#pragma once
// The X clipboard of a running program's display, through xclip.
#include "tests/app/ProcessHarness.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

// The X clipboard of the program's display, through xclip.
class XClipboard {
  public:
    explicit XClipboard(const RunningVellum& app) : m_env(app.xEnvironment()) {}

    void put(const QString& text) {
        QProcess xclip;
        xclip.setProcessEnvironment(m_env);
        xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
        ASSERT_TRUE(xclip.waitForStarted(5000));
        xclip.write(text.toUtf8());
        xclip.closeWriteChannel();
        // xclip stays in the background serving the text; the parent returns.
        ASSERT_TRUE(xclip.waitForFinished(5000));
    }
    QString get() {
        QProcess xclip;
        xclip.setProcessEnvironment(m_env);
        xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-o"});
        if (!xclip.waitForFinished(5000) || xclip.exitCode() != 0)
            return QString();
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }
    // Waits until the program has taken the command off the clipboard.
    bool waitEmpty(int ms = 5000) {
        QElapsedTimer t;
        t.start();
        // A read can come back empty for a moment while the selection
        // changes hands; only a clipboard that stays empty counts.
        int emptyReads = 0;
        while (t.elapsed() < ms) {
            emptyReads = get().isEmpty() ? emptyReads + 1 : 0;
            if (emptyReads == 3)
                return true;
            QThread::msleep(100);
        }
        return false;
    }

  private:
    QProcessEnvironment m_env;
};
