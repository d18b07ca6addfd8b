// zeb-make-manual: renders the Markdown source of the user manual into a PDF.
// Usage: zeb-make-manual <source.md> <output.pdf> <title>
// Runs at build time on the offscreen platform; needs nothing but Qt and a scalable font.

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <cstdio>

namespace {

constexpr int Resolution = 300;
constexpr double BodyPointSize = 10.5;


int fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "zeb-make-manual: %s %s\n", what, qPrintable(detail));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fputs("Usage: zeb-make-manual <source.md> <output.pdf> <title>\n", stderr);
        return 2;
    }
    const QString sourcePath = arguments.at(1);
    const QString outputPath = arguments.at(2);

    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail("cannot read", sourcePath);
    const QString markdown = QString::fromUtf8(source.readAll());

    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(BodyPointSize);
    document.setDefaultFont(font);
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    document.setMetaInformation(QTextDocument::DocumentTitle, arguments.at(3));
    if (document.isEmpty())
        return fail("empty manual source", sourcePath);

    // Written to a temporary file first, so that a failed run never leaves half a manual behind.
    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly))
        return fail("cannot write", outputPath);
    {
        QPdfWriter writer(&output);
        writer.setTitle(arguments.at(3));
        writer.setCreator(QStringLiteral("zeb-make-manual"));
        writer.setResolution(Resolution);
        // QTextDocument::print lays out its own 2 cm margins and the page numbers inside the page.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        document.print(&writer);
    }
    if (!output.commit())
        return fail("cannot write", outputPath);
    return 0;
}
