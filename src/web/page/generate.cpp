// Writes the page's tables module (tables.js) from the program's own tables at build time, so the page's
// encoder and plan reader send and accept exactly what the program does, with no list typed twice.
#include "web/lists.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", qPrintable(args.value(0)));
        return 2;
    }
    const QByteArray text = "// Written at build time from the program's tables; not to be edited.\n"
                            "export const tables = " +
                            QJsonDocument(web::tablesJson()).toJson(QJsonDocument::Indented) + ";\n";
    QSaveFile out(args[1]);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) < 0 || !out.commit()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args[1]), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
