#include "output/ui/TForm4.h"

#include "common/CommandGuard.h"
#include "lang/Multilanguage.h"
#include "output/report/ReportLayout.h"
#include "output/report/ReportPrint.h"
#include "output/report/ReportSystem.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kalvendo {

namespace {

PrintDialogAnswerer& printDialogAnswerer() {
    static PrintDialogAnswerer answerer;
    return answerer;
}

bool askPrintDialog(QPrinter& printer, QWidget* parent, int pages) {
    if (printDialogAnswerer())
        return printDialogAnswerer()(printer, parent);
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, pages);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

void setPrintDialogAnswerer(PrintDialogAnswerer answerer) {
    printDialogAnswerer() = std::move(answerer);
}

// ---------------------------------------------------------------------------

TRvRenderPreview::TRvRenderPreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RvRenderPreview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateSize();
}

void TRvRenderPreview::setDocument(std::shared_ptr<const ReportDocument> doc) {
    m_doc = std::move(doc);
    m_page = m_doc && m_doc->pageCount() > 0 ? 1 : 0;
    updateSize();
    update();
    Q_EMIT PageChange();
}

int TRvRenderPreview::Pages() const {
    return m_doc ? m_doc->pageCount() : 0;
}

void TRvRenderPreview::PrintPage(int n) {
    if (Pages() == 0)
        return;
    m_page = std::clamp(n, 1, Pages());
    update();
    Q_EMIT PageChange();
}

void TRvRenderPreview::setZoomFactor(double zoom) {
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    updateSize();
    update();
    Q_EMIT PageChange();
}

QSize TRvRenderPreview::sizeHint() const {
    // The paper at the zoom factor, in the screen's logical pixels.
    const QSizeF points =
        m_doc ? m_doc->paperSize() / ReportDocument::kUnitsPerPoint : QSizeF(842, 595);
    const double scale = m_zoom / 100.0 * logicalDpiX() / 72.0;
    return QSize(int(std::ceil(points.width() * scale)), int(std::ceil(points.height() * scale)));
}

void TRvRenderPreview::updateSize() {
    resize(sizeHint());
}

void TRvRenderPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_doc && m_page >= 1)
        m_doc->drawPage(painter, m_page - 1, QRectF(rect()));
}

// ---------------------------------------------------------------------------

TForm4::TForm4(TMultilanguage* lng, QWidget* parent) : QDialog(parent), m_lng(lng) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Druckvorschau"));
    setModal(true);
    resize(790, 491);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setFixedHeight(50);
    m_toolBar->setIconSize(QSize(24, 24));
    column->addWidget(m_toolBar);

    addButton(1, QStringLiteral("go-first"), QStyle::SP_MediaSkipBackward);
    addButton(2, QStringLiteral("go-previous"), QStyle::SP_ArrowLeft);
    addButton(3, QStringLiteral("go-next"), QStyle::SP_ArrowRight);
    addButton(4, QStringLiteral("go-last"), QStyle::SP_MediaSkipForward);
    addSeparator(5);
    addButton(6, QStringLiteral("zoom-in"), QStyle::SP_ArrowUp);
    addButton(7, QStringLiteral("zoom-out"), QStyle::SP_ArrowDown);
    addSeparator(8);
    addButton(9, QStringLiteral("document-print"), QStyle::SP_FileDialogDetailedView);
    addSeparator(10);
    addButton(11, QStringLiteral("window-close"), QStyle::SP_DialogCloseButton);

    auto* panel = new QWidget(m_toolBar);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(12, 0, 12, 0);
    for (int n = 1; n <= 4; ++n) {
        auto* l = new QLabel(panel);
        l->setObjectName(QStringLiteral("Label%1").arg(n));
        // Room for the longest page number and zoom the labels show.
        if (n == 2 || n == 4)
            l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("00000 %")));
        row->addWidget(l);
        if (n == 2)
            row->addSpacing(16);
        m_labels[size_t(n)] = l;
    }
    m_toolBar->addWidget(panel);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setWidgetResizable(false);
    column->addWidget(m_scroll, 1);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);
    column->addWidget(m_status);

    FormCreate();
}

TForm4::~TForm4() = default;

QToolButton* TForm4::addButton(int n, const QString& themeIcon, int fallbackIcon) {
    auto* b = new QToolButton(m_toolBar);
    b->setObjectName(QStringLiteral("ToolButton%1").arg(n));
    b->setIcon(QIcon::fromTheme(
        themeIcon, style()->standardIcon(static_cast<QStyle::StandardPixmap>(fallbackIcon))));
    b->setIconSize(QSize(24, 24));
    b->setFixedSize(36, 36);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    m_toolBar->addWidget(b);
    m_buttons[size_t(n)] = b;
    return b;
}

void TForm4::addSeparator(int n) {
    m_toolBar->addSeparator()->setObjectName(QStringLiteral("ToolButton%1").arg(n));
}

QToolButton* TForm4::toolButton(int n) const {
    return n >= 1 && n <= 11 ? m_buttons[size_t(n)] : nullptr;
}

QLabel* TForm4::label(int n) const {
    return n >= 1 && n <= 4 ? m_labels[size_t(n)] : nullptr;
}

void TForm4::FormCreate() {
    auto text = [this](const char* key) {
        return m_lng ? m_lng->GetString(QString::fromLatin1(key)) : QString();
    };
    m_labels[1]->setText(text("labelsite"));
    m_labels[3]->setText(text("labelzoom"));
    static const std::pair<int, const char*> hints[] = {
        {1, "form5fp"}, {2, "form5back"}, {3, "form5forward"}, {4, "form5lp"},
        {6, "form5in"}, {7, "form5out"},  {9, "form5print"},   {11, "form5close"},
    };
    for (const auto& [n, key] : hints)
        m_buttons[size_t(n)]->setToolTip(text(key));

    m_render = new TRvRenderPreview;
    m_render->setZoomFactor(100);
    m_scroll->setWidget(m_render);
    connect(m_render, &TRvRenderPreview::PageChange, this,
            [this]() { RvRenderPreviewPageChange(); });

    using Click = void (TForm4::*)();
    static const std::pair<int, Click> clicks[] = {
        {1, &TForm4::ToolButton1Click}, {2, &TForm4::ToolButton2Click},
        {3, &TForm4::ToolButton3Click}, {4, &TForm4::ToolButton4Click},
        {6, &TForm4::ToolButton6Click}, {7, &TForm4::ToolButton7Click},
        {9, &TForm4::ToolButton9Click}, {11, &TForm4::ToolButton11Click},
    };
    for (const auto& [n, click] : clicks) {
        QToolButton* b = m_buttons[size_t(n)];
        connectCommand(b, &QToolButton::clicked, this,
                       [this, click = click]() { (this->*click)(); });
    }

    m_scroll->installEventFilter(this);
    m_scroll->viewport()->installEventFilter(this);
    RvRenderPreviewPageChange();
}

void TForm4::start(std::shared_ptr<const ReportDocument> doc) {
    m_render->setDocument(std::move(doc));
    m_render->PrintPage(1);
    m_scroll->setFocus();
}

void TForm4::RvRenderPreviewPageChange() {
    m_labels[2]->setText(QString::number(m_render->CurrentPage()));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    m_labels[4]->setText(
        locale.toString(m_render->ZoomFactor(), 'g', QLocale::FloatingPointShortest) +
        QStringLiteral(" %"));
}

void TForm4::ToolButton1Click() {
    m_render->PrintPage(1);
}

void TForm4::ToolButton2Click() {
    if (m_render->CurrentPage() > 1)
        m_render->PrintPage(m_render->CurrentPage() - m_render->PageInc);
}

void TForm4::ToolButton3Click() {
    if (m_render->CurrentPage() < m_render->Pages())
        m_render->PrintPage(m_render->CurrentPage() + m_render->PageInc);
}

void TForm4::ToolButton4Click() {
    m_render->PrintPage(m_render->Pages());
}

void TForm4::ToolButton6Click() {
    m_render->setZoomFactor(m_render->ZoomFactor() + m_render->ZoomInc);
}

void TForm4::ToolButton7Click() {
    if (m_render->ZoomFactor() > m_render->ZoomInc)
        m_render->setZoomFactor(m_render->ZoomFactor() - m_render->ZoomInc);
}

void TForm4::ToolButton9Click() {
    const ReportDocument* doc = m_render->document();
    if (!doc || doc->pageCount() == 0)
        return;
    const QString jobTitle = RvSystem ? RvSystem->jobTitle : QStringLiteral("Kalvendo 2007");
    const QString format = RvSystem ? RvSystem->printingFormat : QStringLiteral("Printing page %p");

    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, *doc, jobTitle);
    if (!askPrintDialog(printer, this, doc->pageCount()))
        return; // cancelled: nothing printed, the preview stays

    QProgressDialog progress(this);
    progress.setWindowTitle(RvSystem ? RvSystem->statusTitle : QString());
    progress.setCancelButtonText(QStringLiteral("Abbrechen"));
    progress.setRange(0, doc->pageCount());
    progress.setMinimumDuration(RvSystem ? RvSystem->statusDelay : 500);
    progress.setWindowModality(Qt::WindowModal);
    // A cancelled job is aborted by the printer; the preview stays either way.
    printReport(*doc, printer, [&](int page) {
        const QString status = statusText(format, page);
        m_status->showMessage(status);
        progress.setLabelText(status);
        progress.setValue(page - 1);
        return !progress.wasCanceled();
    });
    progress.reset();
    m_status->clearMessage();
}

void TForm4::ToolButton11Click() {
    close();
}

void TForm4::stepPage(int delta) {
    if (delta > 0)
        ToolButton3Click();
    else
        ToolButton2Click();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_PageDown:
            stepPage(+1);
            return true;
        case Qt::Key_PageUp:
            stepPage(-1);
            return true;
        case Qt::Key_Home:
            if (key->modifiers() & Qt::ControlModifier) {
                ToolButton1Click();
                return true;
            }
            break;
        case Qt::Key_End:
            if (key->modifiers() & Qt::ControlModifier) {
                ToolButton4Click();
                return true;
            }
            break;
        default:
            break;
        }
    }
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int dy = wheel->angleDelta().y();
        if (dy == 0)
            return false;
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (dy > 0)
                ToolButton6Click();
            else
                ToolButton7Click();
            return true;
        }
        // The wheel scrolls the page; at the page's end it turns to the next.
        QScrollBar* bar = m_scroll->verticalScrollBar();
        const int page = m_render->CurrentPage();
        if (dy < 0 && bar->value() >= bar->maximum() && page < m_render->Pages()) {
            stepPage(+1);
            bar->setValue(bar->minimum());
            return true;
        }
        if (dy > 0 && bar->value() <= bar->minimum() && page > 1) {
            stepPage(-1);
            bar->setValue(bar->maximum());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kalvendo
