#pragma once
// The program's own icon set, drawn as SVG and compiled into the program.
// Every icon is scalable: the same name serves 16 px list glyphs and the
// 256 px program icon.
#include <QIcon>
#include <QString>
#include <QStringList>

namespace Icons {
// Toolbar
inline constexpr char NewPost[] = "new-post";  // btnNew
inline constexpr char Save[] = "save";         // btnSave
inline constexpr char Delete[] = "delete";     // btnDel
inline constexpr char Settings[] = "settings"; // btnConfig, tray "参数设置"
inline constexpr char About[] = "about";       // btnAbout
inline constexpr char Help[] = "help";         // btnHelp (the forum)
inline constexpr char Send[] = "send";         // btnPostData
// Tag insertion and preview buttons
inline constexpr char InsertLink[] = "insert-link";   // btnUrl
inline constexpr char InsertImage[] = "insert-image"; // btnImg
inline constexpr char InsertFlash[] = "insert-flash"; // btnFlash
inline constexpr char InsertRm[] = "insert-rm";       // btnRm (Real Player)
inline constexpr char InsertMp[] = "insert-mp";       // btnMp (Media Player)
inline constexpr char Preview[] = "preview";          // SpeedButton1
// 16 x 16 glyphs
inline constexpr char Row[] = "row";   // image 0 of the list rows
inline constexpr char Dock[] = "dock"; // BitBtn1
// The program icon (window, tray, about box, desktop entry)
inline constexpr char Program[] = "vellum";

// Every name above.
QStringList names();

// Makes the compiled-in resources available; get() calls it by itself.
void init();

// The icon of that name; a null icon for an unknown name.
QIcon get(const QString& name);

// Resource path of the SVG source, e.g. ":/icons/save.svg".
QString resourcePath(const QString& name);
} // namespace Icons
