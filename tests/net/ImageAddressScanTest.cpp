#include "net/ImageAddressScan.h"

#include <gtest/gtest.h>

TEST(ImageAddressScan, FindsImageAndFlashAddressesAsThePatternSays) {
    const struct {
        const char* text;
        QStringList found;
    } cases[] = {
        {"[img]http://a.com/x/y.gif[/img]", {"http://a.com/x/y.gif"}},
        {"HTTP://IMG.EXAMPLE.COM/PIC.PNG", {"HTTP://IMG.EXAMPLE.COM/PIC.PNG"}},
        {"https://s.example.org/a.jpg and http://b.cn/c.swf",
         {"https://s.example.org/a.jpg", "http://b.cn/c.swf"}},
        {"http://a.com/a.gif http://a.com/a.gif", {"http://a.com/a.gif", "http://a.com/a.gif"}},
        {"http://a.com/dir/a b.gif", {"http://a.com/dir/a b.gif"}},
        {"http://a.com/pxgif", {"http://a.com/pxgif"}},
        {"http://a.com/xgif", {}}, // "/" and "x" cannot both be path and ending
        {"http://a.com.gif", {"http://a.com.gif"}},
        {"http://a.com:8080/a.gif", {}},
        {"http://a.com/a.php?id=1.gif", {}},
        {"http://localhost/a.gif", {}},
        {"ftp://a.com/a.gif", {}},
        {"图片http://图.com/a.gif，http://a.com/图/b.png。http://a.com/c.jpg",
         {"http://a.com/c.jpg"}},
        {"见http://a.com/b.png图", {"http://a.com/b.png"}},
        {"http://a.com/x\\y.jpg", {"http://a.com/x\\y.jpg"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScanImageAddresses(QString::fromUtf8(c.text)), c.found) << c.text;
}
