#pragma once
// A single-line field holds one line. Qt's line edit keeps the line breaks of
// a pasted text, and a break in a value of config.ini would end the value and
// make the rest of the file unwritable; here each break is dropped as it is
// pasted, typed or set, and the caret stays where the user had it.
class QLineEdit;

// Installs the rule once per field; later calls do nothing.
void KeepSingleLine(QLineEdit* edit);
