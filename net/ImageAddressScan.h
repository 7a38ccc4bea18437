#pragma once
// The image and Flash addresses of a post's text: absolute http or https
// addresses whose path ends in gif, jpg, png or swf after any one character.
#include <QString>
#include <QStringList>

// Every match in order of occurrence, duplicates included; the search goes on
// after the end of each match.
QStringList ScanImageAddresses(const QString& text);
