#include "browser/host/BrowserHost.h"

#include "bridge/BrowserRegistration.h"
#include "platform/AnsiCodePage.h"
#include "platform/CaptureChannel.h"
#include "platform/KeyStore.h"
#include "platform/NextPostChannel.h"
#include "platform/Paths.h"
#include "platform/SharedTextBlock.h"
#include "platform/VellumError.h"
#include "settings/IniFile.h"
#include "settings/QuickNotes.h"
#include "settings/SettingsMirror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QThread>

#include <exception>

using KeyStore::Hive;

namespace {
const QString kNotRegistered = QStringLiteral("Vellum 还没有登记浏览器菜单：请先运行一次 Vellum。");
const QString kNotInstalled =
    QStringLiteral("没有找到 Vellum 程序：请先运行一次 Vellum，它会登记自己的位置。");

QString menuKey(const BrowserMenuEntry& entry) {
    return QLatin1String(kBrowserMenuKey) + QString::fromUtf8(entry.caption);
}

QString text(const QByteArray& codePageBytes) {
    return AnsiCodePage::toUnicode(codePageBytes);
}

// True once a connection to the capture socket succeeds.
bool socketAccepts(const QString& runtimeDir) {
    QLocalSocket probe;
    probe.connectToServer(CaptureChannel::socketPathIn(runtimeDir));
    if (!probe.waitForConnected(200))
        return false;
    probe.disconnectFromServer();
    return true;
}
} // namespace

BrowserHost::BrowserHost(Options options) : m_options(std::move(options)) {}

QJsonObject BrowserHost::failure(const QString& error) {
    return QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}

QString BrowserHost::findProgramDir() {
    if (!qEnvironmentVariableIsEmpty("VELLUM_HOME"))
        return Paths::programDir();
    // The first entry's page is <program folder>/html/GetTitle.htm.
    const BrowserMenuEntry& first = browserMenuEntries().front();
    const std::optional<QString> page =
        KeyStore::readString(Hive::CurrentUser, menuKey(first), QString());
    const QString suffix = QStringLiteral("html/") + QLatin1String(first.page);
    if (page && page->endsWith(QLatin1Char('/') + suffix) && page->startsWith(QLatin1Char('/'))) {
        const QString dir = page->left(page->size() - suffix.size());
        if (QFileInfo(dir).isDir())
            return dir;
    }
    return Paths::programDir();
}

QJsonObject BrowserHost::answer(const QByteArray& message) {
    // A program we started and that has ended since is reaped here.
    m_starter.poll();
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(message, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        return failure(QStringLiteral("浏览器发来的消息不是 JSON 对象。"));
    const QJsonObject request = doc.object();
    const QString type = request.value(QStringLiteral("type")).toString();
    try {
        if (type == QLatin1String("menu"))
            return menu();
        if (type == QLatin1String("command"))
            return command(request);
        if (type == QLatin1String("post"))
            return post();
        if (type == QLatin1String("next"))
            return next();
        if (type == QLatin1String("settings"))
            return settings();
        if (type == QLatin1String("notes"))
            return notes();
    } catch (const VellumError& e) {
        return failure(e.message());
    } catch (const std::exception& e) {
        return failure(QString::fromLocal8Bit(e.what()));
    }
    return failure(QStringLiteral("未知的消息类型“%1”。").arg(type));
}

QJsonObject BrowserHost::menu() const {
    QJsonArray entries;
    for (const BrowserMenuEntry& entry : browserMenuEntries()) {
        const QString key = menuKey(entry);
        const std::optional<QString> page = KeyStore::readString(Hive::CurrentUser, key, QString());
        if (!page)
            continue;
        const std::optional<quint32> contexts =
            KeyStore::readDword(Hive::CurrentUser, key, QStringLiteral("Contexts"));
        entries.append(QJsonObject{
            {QStringLiteral("caption"), QString::fromUtf8(entry.caption)},
            {QStringLiteral("page"), page->section(QLatin1Char('/'), -1)},
            {QStringLiteral("contexts"), contexts ? QJsonValue(qint64(*contexts)) : QJsonValue()},
        });
    }
    if (entries.isEmpty())
        return failure(kNotRegistered);
    return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("entries"), entries}};
}

QJsonObject BrowserHost::command(const QJsonObject& request) {
    const QJsonValue value = request.value(QStringLiteral("text"));
    if (!value.isString())
        return failure(QStringLiteral("命令消息缺少文本。"));
    const QByteArray utf8 = value.toString().toUtf8();
    if (utf8.size() > CaptureChannel::MaxCommand)
        return failure(QStringLiteral("要交给 Vellum 的内容超过 16 MiB，太长了。"));
    return deliver(utf8);
}

// A command written whole to the socket is the program's, answered or not:
// the browser must not send it another way as well.
std::optional<QJsonObject> BrowserHost::handedOver(Handover how, const QString& error) {
    switch (how) {
    case Handover::Queued:
        return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("queued"), true}};
    case Handover::Unconfirmed:
        return QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("queued"), false}};
    case Handover::Failed:
        return failure(QStringLiteral("Vellum 没有接收这条命令：%1").arg(error));
    case Handover::NotListening:
        break;
    }
    return std::nullopt;
}

QJsonObject BrowserHost::deliver(const QByteArray& utf8Text) {
    const QString runtimeDir = Paths::runtimeDir();
    QString error;
    if (std::optional<QJsonObject> reply = handedOver(
            sendCaptureCommand(runtimeDir, utf8Text, m_options.answerTimeoutMs, &error), error))
        return *reply;

    // Nobody listens: start the program where it last said it lives.
    const std::optional<QString> exe = KeyStore::readString(
        Hive::LocalMachine, QLatin1String(kProgramKey), QStringLiteral("exefile"));
    if (!exe || exe->isEmpty())
        return failure(kNotInstalled);
    const QFileInfo info(*exe);
    if (!info.isFile() || !info.isExecutable())
        return failure(QStringLiteral("找不到 Vellum 程序 %1：请重新安装后运行一次。").arg(*exe));
    if (!m_starter.start(*exe, &error))
        return failure(QStringLiteral("无法启动 Vellum（%1）：%2").arg(*exe, error));

    QElapsedTimer clock;
    clock.start();
    // Ending quietly is what a second instance does: one is running already
    // (or still starting), and its socket may yet open.
    bool anotherInstance = false;
    while (!socketAccepts(runtimeDir)) {
        QString how;
        const ProgramStarter::State state = m_starter.poll(&how);
        if (state == ProgramStarter::State::Failed)
            return failure(QStringLiteral("Vellum 启动后随即退出（%1）。").arg(how));
        anotherInstance = anotherInstance || state == ProgramStarter::State::ExitedCleanly;
        if (clock.elapsed() >= m_options.startTimeoutMs)
            return failure(
                anotherInstance
                    ? QStringLiteral("Vellum 已在运行，但 %1 秒内没有打开接收命令的接口。")
                          .arg(m_options.startTimeoutMs / 1000)
                    : QStringLiteral("Vellum 没有在 %1 秒内启动完毕。")
                          .arg(m_options.startTimeoutMs / 1000));
        QThread::msleep(100);
    }
    // A program that has just started may still be building its windows.
    const int answerMs = qMax(m_options.answerTimeoutMs, m_options.startTimeoutMs);
    if (std::optional<QJsonObject> reply =
            handedOver(sendCaptureCommand(runtimeDir, utf8Text, answerMs, &error), error))
        return *reply;
    return failure(QStringLiteral("Vellum 没有接收这条命令：%1").arg(error));
}

QJsonObject BrowserHost::post() const {
    const std::optional<QByteArray> block = SharedTextBlock::readText(Paths::runtimeDir());
    const std::optional<SharedTextBlock::Post> post =
        block ? SharedTextBlock::splitText(*block) : std::nullopt;
    if (!post)
        return failure(
            QStringLiteral("Vellum 还没有交出帖子：请先在 Vellum 中打开或采集一个帖子。"));
    return QJsonObject{{QStringLiteral("ok"), true},
                       {QStringLiteral("title"), text(post->title)},
                       {QStringLiteral("content"), text(post->content)}};
}

QJsonObject BrowserHost::next() const {
    if (!sendNextPostMessage(Paths::runtimeDir(), 1))
        return failure(QStringLiteral("Vellum 没有运行，无法载入下一个帖子。"));
    return QJsonObject{{QStringLiteral("ok"), true}};
}

QJsonObject BrowserHost::settings() const {
    TSettingsMirror mirror;
    LoadSettings(mirror, m_options.programDir + QStringLiteral("config.ini"));
    // "Convent" is written when the settings dialog closes with OK; until
    // then the mode follows the settings themselves.
    const std::optional<quint32> stored = KeyStore::readDword(
        Hive::LocalMachine, QLatin1String(kProgramKey), QStringLiteral("Convent"));
    int convent = mirror.NoConvert ? 0 : mirror.Convert2UBB ? 1 : 2;
    if (stored && *stored <= 2)
        convent = int(*stored);
    const QJsonObject templates{
        {QStringLiteral("UBBUrl"), text(mirror.UBBUrl)},
        {QStringLiteral("UBBImg"), text(mirror.UBBImg)},
        {QStringLiteral("UBBEmail"), text(mirror.UBBEmail)},
        {QStringLiteral("UBBFlash"), text(mirror.UBBFlash)},
        {QStringLiteral("UBBRm"), text(mirror.UBBRm)},
        {QStringLiteral("UBBMp"), text(mirror.UBBMp)},
    };
    return QJsonObject{{QStringLiteral("ok"), true},
                       {QStringLiteral("convent"), convent},
                       {QStringLiteral("templates"), templates}};
}

QJsonObject BrowserHost::notes() const {
    const IniFile ini(m_options.programDir + QStringLiteral("config.ini"));
    const bool random = ini.readBool("Common", "RandomNote", true);
    QJsonArray list;
    const std::optional<QList<QByteArray>> stored =
        QuickNotes::load(m_options.programDir + QStringLiteral("QuickNotes.dat"));
    if (stored)
        for (const QByteArray& note : *stored)
            list.append(text(QuickNotes::decode(note)));
    return QJsonObject{{QStringLiteral("ok"), true},
                       {QStringLiteral("random"), random},
                       {QStringLiteral("notes"), list}};
}
