#include "Report.h"

#include "DialogPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>

namespace Platform {

namespace {
// Layouts are small; pictures embedded in base64 make the largest ones.
constexpr qint64 maxLayoutSize = 32 * 1024 * 1024;

QString noLayoutText()
{
    return QStringLiteral("No report layout is loaded.");
}
} // namespace

Report::Report() = default;
Report::~Report() = default;

Report::LoadStatus Report::load(const QString &fileName)
{
    clear();
    const QFileInfo info(fileName);
    if (!info.exists()) {
        m_error = QStringLiteral("file not found");
        return LoadStatus::FileNotFound;
    }
    if (!info.isFile()) {
        m_error = QStringLiteral("not a file");
        return LoadStatus::Invalid;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return LoadStatus::Invalid;
    }
    const LoadStatus status = load(file, info.absolutePath());
    if (status == LoadStatus::Loaded)
        m_fileName = fileName;
    return status;
}

Report::LoadStatus Report::load(QIODevice &device, const QString &baseFolder)
{
    clear();
    const QByteArray json = device.read(maxLayoutSize + 1);
    if (json.size() > maxLayoutSize) {
        m_error = QStringLiteral("larger than %1 MiB").arg(maxLayoutSize / (1024 * 1024));
        return LoadStatus::Invalid;
    }
    std::optional<ReportLayout> layout = ReportLayout::fromJson(json, baseFolder, &m_error);
    if (!layout)
        return LoadStatus::Invalid;
    m_layout = std::move(*layout);
    m_loaded = true;
    return LoadStatus::Loaded;
}

void Report::clear()
{
    m_layout = ReportLayout();
    m_loaded = false;
    m_fileName.clear();
    m_error.clear();
}

ReportObject *Report::findObject(const QString &name)
{
    return m_loaded ? m_layout.findObject(name) : nullptr;
}

void Report::setVariable(const QString &name, const QString &value)
{
    m_variables.insert(name.toLower(), value);
}

QString Report::variable(const QString &name) const
{
    return m_variables.value(name.toLower());
}

int Report::pageCount() const
{
    return m_loaded ? int(m_layout.pages().size()) : 0;
}

void Report::renderPage(QPainter &painter, int pageIndex) const
{
    if (m_loaded)
        m_layout.renderPage(painter, pageIndex, m_variables);
}

bool Report::render(QPagedPaintDevice &device)
{
    if (!m_loaded) {
        m_error = noLayoutText();
        return false;
    }
    device.setPageLayout(m_layout.pageLayout());
    QPainter painter;
    if (!painter.begin(&device)) {
        m_error = QStringLiteral("The report cannot be painted on this device.");
        return false;
    }
    // the pages chosen in a print dialog; none chosen: all of them
    const QPageRanges ranges = device.pageRanges();
    const int pages = pageCount();
    bool first = true;
    for (int i = 0; i < pages; ++i) {
        if (!ranges.isEmpty() && !ranges.contains(i + 1))
            continue;
        if (!first)
            device.newPage();
        first = false;
        m_layout.renderPage(painter, i, m_variables);
    }
    return painter.end();
}

bool Report::exportPdf(QIODevice &device)
{
    if (!m_loaded) {
        m_error = noLayoutText();
        return false;
    }
    QPdfWriter writer(&device);
    writer.setTitle(m_layout.title);
    writer.setCreator(QStringLiteral("ZeltERP"));
    return render(writer);
}

bool Report::exportPdf(const QString &filePath)
{
    if (!m_loaded) {
        m_error = noLayoutText();
        return false;
    }
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    if (!exportPdf(static_cast<QIODevice &>(file)))
        return false;
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

bool Report::print(QPrinter &printer)
{
    // the layout places everything from the paper's edge itself
    printer.setFullPage(true);
    if (!m_layout.title.isEmpty())
        printer.setDocName(m_layout.title);
    return render(printer);
}

int Report::showPreview(QWidget *parent)
{
    if (!m_loaded) {
        dialogPresenter().showMessage(noLayoutText(), MessageKind::Error, MessageButton::Ok);
        return ModalResult::Cancel;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(m_layout.pageLayout());
    QPrintPreviewDialog dialog(&printer, parent);
    if (!m_layout.title.isEmpty())
        dialog.setWindowTitle(m_layout.title);
    // The preview paints on its own engine, which does not fail; Print hands
    // over the printer the user chose, which may.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this](QPrinter *target) {
        if (!print(*target))
            dialogPresenter().showMessage(m_error, MessageKind::Error, MessageButton::Ok);
    });
    return dialogPresenter().showModal(dialog);
}

} // namespace Platform
