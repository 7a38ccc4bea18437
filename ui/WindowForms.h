#pragma once
// Switches a window between its wide form and its frameless narrow form.
// The window keeps its place across the switch: the narrow form sits where
// the wide one's frame began, and the wide form gets its frame back around
// the same corner. What the narrow form has no room for (one column of the
// layout) is hidden and comes back as it was.
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QPointer>

class CaptionBand;
class QBoxLayout;
class QLayout;
class QWidget;

class WindowForms {
  public:
    // wideOnly: the column shown only in the wide form; body: the layout
    // whose margins the narrow form drops; band: the narrow form's caption.
    WindowForms(QWidget& window, QLayout* wideOnly, QBoxLayout* body, CaptionBand* band);

    // Sets the client width (the height stays); a width below the switch's
    // threshold gives the narrow form.
    void setForm(int width, int height);

  private:
    QWidget& m_window;
    QLayout* m_wideOnly;
    QBoxLayout* m_body;
    CaptionBand* m_band;
    QMargins m_wideMargins;
    QPoint m_wideFrameOffset; // client corner inside the wide form's frame
    QList<QPointer<QWidget>> m_hidden;
};
