// Moves the first post of one category to another and saves, dying (SIGKILL)
// right after the first of the two files is renamed: a crash between the two
// renames.
// Usage: move_and_die DATA_DIR FROM TO
#include "platform/StagedWrites.h"
#include "store/TDateMan.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    TDateMan store(QString::fromLocal8Bit(argv[1]));
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    const int from = std::atoi(argv[2]), to = std::atoi(argv[3]);
    store.MoveRecord(0, from, to);
    const QStringList moveFiles = {store.categoryPath(from), store.categoryPath(to)};
    StagedWrites::setRenameHook([&](const QString& path) {
        if (moveFiles.contains(path))
            std::raise(SIGKILL);
    });
    store.SaveCategories({0, 1, 2, 3, 4, 5});
    return 0;
}
