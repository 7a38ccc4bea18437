#pragma once
// The product's own addresses, opened from the tray menu, the toolbar and
// the about box.
namespace ProductAddresses {
inline constexpr char WebSite[] = "https://www.vellum-bbs.net/";
inline constexpr char Forum[] = "https://www.vellum-bbs.net/forum/";
inline constexpr char Help[] = "https://www.vellum-bbs.net/help/";
// The page that presents the browser edition.
inline constexpr char BrowserEdition[] = "https://www.vellum-bbs.net/browser/";
inline constexpr char AuthorMail[] = "author@vellum-bbs.net";
} // namespace ProductAddresses
