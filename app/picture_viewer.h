#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "app/picture_loading.h"

class BackgroundWorker;
class QLabel;
class QPushButton;
class QScrollArea;

// A picture of an event at full size: fit to the window or 1:1, the previous and next picture
// of the same message, its containing folder and its path. Pictures are decoded off the
// window's thread. Not modal: it can stay open beside the browser.
class PictureViewer : public QDialog {
    Q_OBJECT
  public:
    explicit PictureViewer(QWidget* parent = nullptr);
    ~PictureViewer() override;

    // Shows picture `index` of `pictures`; `title` names the message ("Event #12").
    void Show(std::vector<PictureSource> pictures, int index, const QString& title);
    // The picture shown, once decoded (tests).
    const LoadedPicture& Shown() const { return m_loaded; }
    int Index() const { return m_index; }

  signals:
    // Emitted on the window's thread once a picture has been decoded and shown.
    void pictureShown();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Load();
    void Present(LoadedPicture loaded, int index, unsigned generation);
    void Layout();

    std::vector<PictureSource> m_pictures;
    int m_index = 0;
    QString m_title;
    LoadedPicture m_loaded;
    unsigned m_generation = 0;
    bool m_fit = true;

    QLabel* m_caption = nullptr;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_image = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_fitButton = nullptr;
    QPushButton* m_actual = nullptr;
    QPushButton* m_folder = nullptr;
    QPushButton* m_copyPath = nullptr;
    std::unique_ptr<BackgroundWorker> m_worker;  // last: joined first
};
