#pragma once

#include <QDialog>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QPrinter;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace kalvendo {

class ReportDocument;
class TMultilanguage;
struct ReportSystem;

// The page renderer: draws one page of a laid-out report at the zoom factor,
// as vectors, so the page is sharp at every zoom. Keeps the current page, the
// page count and the zoom factor, and signals every change of them.
class TRvRenderPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr double kMinZoom = 10;
    static constexpr double kMaxZoom = 200;

    explicit TRvRenderPreview(QWidget* parent = nullptr);

    void setDocument(std::shared_ptr<const ReportDocument> doc);
    const ReportDocument* document() const { return m_doc.get(); }

    // 1-based; 0 without a document.
    int CurrentPage() const { return m_page; }
    int Pages() const;
    // Shows page n, clamped to 1 .. Pages().
    void PrintPage(int n);

    double ZoomFactor() const { return m_zoom; }
    // Values below 10 become 10, above 200 become 200; the page is drawn again.
    void setZoomFactor(double zoom);
    double ZoomInc = 10;
    int PageInc = 1;

    QSize sizeHint() const override;

Q_SIGNALS:
    void PageChange();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateSize();

    std::shared_ptr<const ReportDocument> m_doc;
    int m_page = 0;
    double m_zoom = 100;
};

// The print preview window ("Druckvorschau"), made anew for each report run:
// a tool bar of page, zoom, print and close buttons, the page and zoom labels,
// and the page renderer in a scroll box.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    // Texts come from `lng`, the main window's language engine.
    explicit TForm4(TMultilanguage* lng, QWidget* parent = nullptr);
    ~TForm4() override;

    // The report system this window serves (the print job title and status
    // texts come from it); set by the preview's create phase.
    ReportSystem* RvSystem = nullptr;

    // Shows the first page of the run's pages.
    void start(std::shared_ptr<const ReportDocument> doc);

    TRvRenderPreview* RvRenderPreview() const { return m_render; }
    QScrollArea* ScrollBox1() const { return m_scroll; }
    // ToolButton1 .. ToolButton11 without the separators 5, 8 and 10.
    QToolButton* toolButton(int n) const;
    // Label1 .. Label4.
    QLabel* label(int n) const;

    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton7Click();
    void ToolButton9Click();
    void ToolButton11Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void RvRenderPreviewPageChange();
    QToolButton* addButton(int n, const QString& themeIcon, int fallbackIcon);
    void addSeparator(int n);
    // Moves by pages, keeping the scroll position at the edge it came from.
    void stepPage(int delta);

    TMultilanguage* m_lng;
    QToolBar* m_toolBar = nullptr;
    std::array<QToolButton*, 12> m_buttons{};
    std::array<QLabel*, 5> m_labels{};
    QScrollArea* m_scroll = nullptr;
    QStatusBar* m_status = nullptr;
    TRvRenderPreview* m_render = nullptr;
};

// The system print dialog, replaceable for tests: it receives the prepared
// printer and returns whether the user confirmed. An empty function restores
// the real dialog.
using PrintDialogAnswerer = std::function<bool(QPrinter& printer, QWidget* parent)>;
void setPrintDialogAnswerer(PrintDialogAnswerer answerer);

} // namespace kalvendo
