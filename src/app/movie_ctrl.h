// The page's movie control: plays the page's QML movie in a QQuickWidget and
// offers the movie operations the pages use. The movie's root object provides
// one JavaScript function per operation and raises fsCommand(command, args),
// which reaches the page as FSCommand.
#pragma once

#include <QPointer>
#include <QQuickWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QQmlEngine;

// The operations a page asks of its movie. The control plays QML movies itself;
// a test may put a recording movie in its place.
class MovieBackend {
public:
    virtual ~MovieBackend() = default;
    virtual void SetMovie(const std::string& url) = 0;
    virtual int FrameNum() = 0;
    virtual void GotoFrame(int frame) = 0;
    virtual int FlashVersion() = 0;
    virtual void TGotoFrame(const std::string& target, int frame) = 0;
    virtual int TCurrentFrame(const std::string& target) = 0;
    virtual void TPlay(const std::string& target) = 0;
    virtual void SetVariable(const std::string& name, const std::string& value) = 0;
    virtual std::string GetVariable(const std::string& name) = 0;
    virtual void TSetProperty(const std::string& target, int property, const std::string& value) = 0;
    virtual void TCallFrame(const std::string& target, int frame) = 0;
};

class CMovieCtrl : public QQuickWidget {
    Q_OBJECT
public:
    // Control ID of the movie on every page.
    static constexpr int kControlId = 1003;
    // Version reported by the QML player: 6.0 in the high word, as the control reports it.
    static constexpr int kPlayerVersion = 0x00060000;

    explicit CMovieCtrl(QWidget* parent);
    ~CMovieCtrl() override;

    // Every control created afterwards gets its backend from `factory` (null: play QML).
    using BackendFactory = std::function<std::unique_ptr<MovieBackend>(CMovieCtrl*)>;
    static void SetBackendFactory(BackendFactory factory);
    MovieBackend* Backend() const { return m_backend.get(); }

    void Movie(const std::string& url);
    const std::string& MovieUrlLoaded() const { return m_url; }
    int FrameNum();
    void GotoFrame(int frame);
    int FlashVersion();
    void TGotoFrame(const std::string& target, int frame);
    int TCurrentFrame(const std::string& target);
    void TPlay(const std::string& target);
    void SetVariable(const std::string& name, const std::string& value);
    std::string GetVariable(const std::string& name);
    void TSetProperty(const std::string& target, int property, const std::string& value);
    void TCallFrame(const std::string& target, int frame);

    // Raises FSCommand as the movie does (the QML movie's fsCommand arrives here).
    void FireFSCommand(const std::string& command, const std::string& args);

    // The file and start frame a movie URL stands for: "file:///x/EN/Plendix.swf?frm=3"
    // plays /x/EN/Plendix.qml from frame 3 (no frame given: 0).
    static void ResolveMovieUrl(const std::string& url, std::string* qmlPath, int* startFrame);
    // The QML file being played: the language's movie, the English one when the
    // language has none, or empty when none could be played and the control shows
    // why, with a Close button that sends "exit".
    const std::string& MoviePlayed() const { return m_played; }

    // Areas of the control's top strip that act on the frame window.
    enum class ClickArea { Movie, FrameMenu, Drag };
    static ClickArea ClickAreaAt(int x, int y);

    // While the control is out of sight (its page hidden, or the window
    // minimised) the movie's animations are paused, those that start meanwhile
    // too, so a page nobody sees costs no time; they go on where they were
    // when it shows again. Timers keep running: they are the movie's logic.
    bool AnimationsPaused() const { return m_bAnimationsPaused; }

signals:
    void FSCommand(const QString& command, const QString& args);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void OnMovieFSCommand(const QString& command, const QString& args);
    void OnAnimationRunningChanged();

private:
    QVariant Call(const char* function, const QVariantList& args);
    static QQmlEngine* SharedEngine();

    void PauseAnimations();
    // Stops holding the animations; with `bGoOn` those paused here go on.
    void ReleaseAnimations(bool bGoOn);

    std::unique_ptr<MovieBackend> m_backend;
    bool m_bAnimationsPaused = false;
    // The movie's top-level animations while they are held (each paused by us
    // or watched for starting), in the order they were found.
    std::vector<QPointer<QObject>> m_heldAnimations;
    std::string m_url;
    std::string m_played;
    bool m_bDragging = false;
    QPoint m_dragOffset;
};
