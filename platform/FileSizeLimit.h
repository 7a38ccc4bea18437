#pragma once
// A file-size limit (ulimit -f) must not end the program: by default the
// kernel kills a process that writes past it, losing every unsaved edit.
// With the signal ignored the write fails with EFBIG instead, and the writer
// (a save, a download) reports it as the failure it is.
namespace FileSizeLimit {
// Once, at the start of the process.
void writesFailInsteadOfKilling();
} // namespace FileSizeLimit
