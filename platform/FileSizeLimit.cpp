#include "platform/FileSizeLimit.h"

#include <csignal>

namespace FileSizeLimit {
void writesFailInsteadOfKilling() {
    std::signal(SIGXFSZ, SIG_IGN);
}
} // namespace FileSizeLimit
