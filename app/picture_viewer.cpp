#include "app/picture_viewer.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/background_worker.h"
#include "app/dialog_seam.h"

namespace {
QPushButton* Button(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}
}  // namespace

PictureViewer::PictureViewer(QWidget* parent)
    : QDialog(parent), m_worker(std::make_unique<BackgroundWorker>()) {
    setObjectName(QStringLiteral("pictureViewer"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(900, 640);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("pictureCaption"));
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_image = new QLabel;
    m_image->setObjectName(QStringLiteral("pictureImage"));
    m_image->setAlignment(Qt::AlignCenter);
    m_scroll->setWidget(m_image);
    m_scroll->setWidgetResizable(true);

    m_previous = Button(this, tr("Previous"), "previousPicture");
    m_next = Button(this, tr("Next"), "nextPicture");
    m_fitButton = Button(this, tr("Fit to window"), "fitPicture");
    m_actual = Button(this, tr("1:1"), "actualSize");
    m_folder = Button(this, tr("Open containing folder"), "openFolder");
    m_copyPath = Button(this, tr("Copy path"), "copyPath");
    m_fitButton->setCheckable(true);
    m_actual->setCheckable(true);
    m_fitButton->setChecked(true);
    m_previous->setShortcut(QKeySequence(Qt::Key_Left));
    m_next->setShortcut(QKeySequence(Qt::Key_Right));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addSpacing(16);
    buttons->addWidget(m_fitButton);
    buttons->addWidget(m_actual);
    buttons->addStretch();
    buttons->addWidget(m_folder);
    buttons->addWidget(m_copyPath);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(buttons);

    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_index > 0) {
            --m_index;
            Load();
        }
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_index + 1 < static_cast<int>(m_pictures.size())) {
            ++m_index;
            Load();
        }
    });
    connect(m_fitButton, &QPushButton::clicked, this, [this] {
        m_fit = true;
        Layout();
    });
    connect(m_actual, &QPushButton::clicked, this, [this] {
        m_fit = false;
        Layout();
    });
    connect(m_folder, &QPushButton::clicked, this,
            [this] { DialogSeam::openFolder(this, QFileInfo(m_loaded.filePath).absolutePath()); });
    connect(m_copyPath, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_loaded.filePath); });
}

PictureViewer::~PictureViewer() = default;

void PictureViewer::Show(std::vector<PictureSource> pictures, int index, const QString& title) {
    m_pictures = std::move(pictures);
    m_index = std::clamp(index, 0, std::max(0, static_cast<int>(m_pictures.size()) - 1));
    m_title = title;
    Load();
    show();
    raise();
    activateWindow();
}

void PictureViewer::Load() {
    const unsigned generation = ++m_generation;
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < static_cast<int>(m_pictures.size()));
    if (m_pictures.empty())
        return;
    m_caption->setText(
        tr("%1 \u2013 %2: decoding...")
            .arg(m_title, PictureName(m_pictures[m_index].kind, m_pictures[m_index].number)));
    m_worker->Cancel();
    const PictureSource source = m_pictures[m_index];
    const int index = m_index;
    m_worker->Post([this, source, index, generation](const std::atomic<bool>& cancelled) {
        LoadedPicture loaded = LoadPicture(source, QSize());
        if (cancelled)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, loaded = std::move(loaded), index, generation]() mutable {
                Present(std::move(loaded), index, generation);
            },
            Qt::QueuedConnection);
    });
}

void PictureViewer::Present(LoadedPicture loaded, int index, unsigned generation) {
    if (generation != m_generation)
        return;
    m_loaded = std::move(loaded);
    QString caption = tr("%1 \u2013 %2 (%3 of %4)")
                          .arg(m_title, m_loaded.name)
                          .arg(index + 1)
                          .arg(m_pictures.size());
    if (m_loaded.fullSize.isValid())
        caption += tr(", %1 \u00d7 %2 pixels")
                       .arg(m_loaded.fullSize.width())
                       .arg(m_loaded.fullSize.height());
    caption += tr(", %1 bytes").arg(QLocale(QLocale::English).toString(m_loaded.bytes));
    if (!m_loaded.problem.isEmpty())
        caption += QStringLiteral(" \u2013 ") + m_loaded.problem;
    if (!m_loaded.filePath.isEmpty())
        caption += QStringLiteral("\n") + m_loaded.filePath;
    m_caption->setText(caption);
    m_folder->setEnabled(!m_loaded.filePath.isEmpty());
    m_copyPath->setEnabled(!m_loaded.filePath.isEmpty());
    Layout();
    emit pictureShown();
}

void PictureViewer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_fit)
        Layout();
}

void PictureViewer::Layout() {
    m_fitButton->setChecked(m_fit);
    m_actual->setChecked(!m_fit);
    if (m_loaded.image.isNull()) {
        m_image->setPixmap(QPixmap());
        m_image->setText(m_loaded.problem);
        return;
    }
    m_scroll->setWidgetResizable(m_fit);
    QPixmap pixmap = QPixmap::fromImage(m_loaded.image);
    if (m_fit) {
        const QSize room = m_scroll->viewport()->size() - QSize(4, 4);
        if (pixmap.width() > room.width() || pixmap.height() > room.height())
            pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    m_image->setPixmap(pixmap);
    if (!m_fit)
        m_image->adjustSize();
}
