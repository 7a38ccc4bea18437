#pragma once
// What the clipboard poll needs of the main window. The poll decides; the
// window carries out each step on its own widgets and post store.
#include "settings/SettingsMirror.h"

#include <QByteArray>
#include <QString>

#include <optional>

class CaptureHost {
  public:
    virtual ~CaptureHost() = default;

    // The editor: title field and content memo, as the widgets hold them.
    virtual QString titleText() const = 0;
    virtual void setTitleText(const QString& title) = 0;
    virtual QString contentText() const = 0;
    // A new last line of the content (AppendContentLine), never at the caret.
    virtual void appendContentLine(const QString& line) = 0;
    virtual void clearContent() = 0;

    // Editor mode: "", "ADD" or "EDIT".
    virtual QString editorMode() const = 0;
    virtual void setEditorMode(const QString& mode) = 0;
    // Set when a title arrives from the browser; cleared when a post is loaded.
    virtual bool capturedTitle() const = 0;
    virtual void setCapturedTitle(bool on) = 0;
    // Status bar panel 0.
    virtual void setStatusText(const QString& text) = 0;

    // The list and the post store, active category only unless named.
    virtual int activeCategory() const = 0;
    // Selected row of the active list, -1 when none.
    virtual int selectedRow() const = 0;
    virtual int rowCount() const = 0;
    // The stored post line at (category, row); nullopt when out of range.
    virtual std::optional<QByteArray> record(int category, int row) const = 0;
    // Selects a row of the active list without loading that post into the
    // editor (the editor, mode and marker stay as they are).
    virtual void selectRow(int row) = 0;
    // Stores the post by the editor mode: "ADD" appends it to the active
    // category (mode becomes empty), "EDIT" replaces the selected row (no row
    // selected afterwards); then refreshes the list and shows the notice.
    // The poll calls it only in "ADD", or in "EDIT" with a selected row.
    // Returns false when the window refused to store the post (no category
    // to store it in); the refusal has been shown to the user.
    virtual bool savePost(const QString& title, const QString& content) = 0;

    // Hands the post to the browser side through the shared text block only:
    // a capture never leaves anything on the clipboard (the clipboard road
    // empties it afterwards, and a queued command does not touch it). May
    // throw VellumError.
    virtual void publishPost(const QString& title, const QString& content) = 0;
    // Read at every use: the dialog may reload it between ticks.
    virtual const TSettingsMirror& settings() const = 0;
    // Loads the payload into the picture list and shows it modally; returns
    // when it closes.
    virtual void showPictureList(const QByteArray& payload) = 0;
    // Starts "sound/sound.wav" and returns at once: a long sound must not
    // hold the window and the commands behind it. It plays to its end, one
    // sound at a time.
    virtual void playSuccessSound() = 0;
    // Shows the window, un-minimises, raises and activates it.
    virtual void restoreMainWindow() = 0;
    // The standard error box.
    virtual void showError(const QString& message) = 0;
    // Starts or stops the poll timer.
    virtual void setPollEnabled(bool on) = 0;
};
