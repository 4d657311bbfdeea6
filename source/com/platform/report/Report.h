#pragma once

#include "com_global.h"
#include "ReportLayout.h"

#include <QHash>
#include <QString>

class QIODevice;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace Platform {

// A report: one layout read from a file, the values a screen puts into it,
// and the ways out (PDF, printer, print preview). Empty until a layout is
// loaded.
class COM_EXPORT Report
{
public:
    enum class LoadStatus { Loaded, FileNotFound, Invalid };

    Report();
    ~Report();
    Report(const Report &) = delete;
    Report &operator=(const Report &) = delete;

    // Reads a layout file. Pictures it names are read relative to the
    // file's folder. On failure the report is left empty and errorString()
    // says why; a missing file is told apart from a faulty one.
    LoadStatus load(const QString &fileName);
    // The same from a device; baseFolder resolves picture files.
    LoadStatus load(QIODevice &device, const QString &baseFolder);
    QString errorString() const { return m_error; }
    QString fileName() const { return m_fileName; }

    bool isEmpty() const { return !m_loaded; }
    void clear();

    ReportLayout &layout() { return m_layout; }
    const ReportLayout &layout() const { return m_layout; }
    // nullptr when the layout has no object of that name (any case).
    ReportObject *findObject(const QString &name);

    // Values for [name] in memo texts; names without regard to case. They
    // stay when another layout is loaded.
    void setVariable(const QString &name, const QString &value);
    QString variable(const QString &name) const;
    void clearVariables() { m_variables.clear(); }

    // 0 while empty.
    int pageCount() const;
    void renderPage(QPainter &painter, int pageIndex) const;
    // Sets the device's page to the layout's and paints every page on it, or
    // the pages its page ranges name (as a print dialog sets them).
    // False, with errorString(), when empty or the device cannot be painted.
    bool render(QPagedPaintDevice &device);
    bool exportPdf(QIODevice &device);
    // Written aside and renamed, so a failure leaves no half-written file.
    bool exportPdf(const QString &filePath);
    bool print(QPrinter &printer);
    // A print preview, shown modally through the dialog presenter; returns
    // its modal result. An empty report shows an error message instead and
    // returns Cancel.
    int showPreview(QWidget *parent = nullptr);

private:
    ReportLayout m_layout;
    bool m_loaded = false;
    QString m_fileName;
    QString m_error;
    QHash<QString, QString> m_variables; // lower-case names
};

} // namespace Platform
