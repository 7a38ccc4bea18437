// The markup tools of the main window: the insertion buttons, the preview
// button and the content editor's own menu.
#include "app/TFrmMain.h"
#include "bridge/TagBuilder.h"
#include "markup/MemoMenu.h"
#include "markup/PreviewPage.h"
#include "markup/PreviewRunner.h"
#include "markup/TFrmInsertUBB.h"
#include "platform/AnsiCodePage.h"

#include <QPlainTextEdit>
#include <QToolButton>

void TFrmMain::installMarkupTools() {
    PopupMenuMemo = new MemoMenu(meoContent, m_frmSearchReplace, m_settings, iniPath());
    const struct {
        const char* button;
        TagKind kind;
    } inserts[] = {{"btnUrl", TagKind::Link},
                   {"btnImg", TagKind::Image},
                   {"btnFlash", TagKind::Flash},
                   {"btnRm", TagKind::Real},
                   {"btnMp", TagKind::Media}};
    for (const auto& insert : inserts)
        connect(findChild<QToolButton*>(QString::fromLatin1(insert.button)), &QToolButton::clicked,
                this, [this, kind = insert.kind] { InsertUbbTag(kind); });
    auto* preview = findChild<QToolButton*>(QStringLiteral("SpeedButton1"));
    connect(preview, &QToolButton::clicked, this, &TFrmMain::SpeedButton1Click);
    // The conversion runs on a worker; the button waits for it meanwhile.
    m_previewRunner = new PreviewRunner(this);
    connect(m_previewRunner, &PreviewRunner::finished, preview,
            [preview] { preview->setEnabled(true); });
}

void TFrmMain::InsertUbbTag(TagKind kind) {
    using Variant = TFrmInsertUBB::Variant;
    Variant variant = Variant::Link;
    switch (kind) {
    case TagKind::Link:
        variant = Variant::Link;
        break;
    case TagKind::Image:
        variant = Variant::Image;
        break;
    case TagKind::Flash:
        variant = Variant::Flash;
        break;
    case TagKind::Real:
        variant = Variant::Real;
        break;
    case TagKind::Media:
        variant = Variant::Media;
        break;
    }
    const TFrmInsertUBB::Result result = m_frmInsertUBB->run(variant);
    if (!result.accepted)
        return;
    const QByteArray edt1 = AnsiCodePage::fromUnicode(result.edt1);
    const QByteArray edt2 = AnsiCodePage::fromUnicode(result.edt2);
    // Link and image take the address from the second field; the media kinds
    // take the size text from the first.
    const bool media = kind != TagKind::Link && kind != TagKind::Image;
    // Appended now, at the end of the editor as it stands after OK, so a
    // capture that arrived while the dialog was open stays.
    AppendContentLine(meoContent, media ? MakeUbbTag(kind, edt1, edt2, m_settings)
                                        : MakeUbbTag(kind, edt2, edt1, m_settings));
}

void TFrmMain::SpeedButton1Click() {
    if (m_previewRunner->start(m_programDir, titleText(), contentText(), m_settings))
        findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->setEnabled(false);
}
