#pragma once
// Loads one language's movie at a page frame in an offscreen window and drives it
// as the player and the user would: calls the movie's functions, clicks and
// hovers its elements, records the commands it sends and the QML warnings.

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QQuickView>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>

namespace movies_test {

// The twelve language folders.
const QStringList& languages();

// Path of movies/<code>/Plendix.qml in the source tree.
QString moviePath(const QString& code);

// Makes sure a QGuiApplication exists (tests use gtest_main).
void ensureApp();

class MovieHarness : public QObject {
    Q_OBJECT
public:
    // frame < 0 leaves "frm" unset, as for the transfer page.
    MovieHarness(const QString& code, int frame);
    ~MovieHarness() override;

    bool loaded() const { return m_root != nullptr; }
    QObject* root() const { return m_root; }
    QQuickView& view() { return *m_view; }

    QVariant call(const char* function, const QVariantList& args = {});
    QString getVariable(const QString& name);
    void setVariable(const QString& name, const QString& value);
    int frameNum();

    QQuickItem* item(const QString& objectName) const;
    // Clicks the middle of a visible item found by object name; false when not found.
    bool click(const QString& objectName);
    bool clickAt(QPointF scenePos);
    bool hover(const QString& objectName);
    void hoverAt(QPointF scenePos);
    void dragHorizontally(QPointF from, qreal toX);

    // Lets timers, animations and queued calls run for the given time.
    void wait(int ms);
    QImage render();

    std::vector<std::pair<QString, QString>> commands;
    QStringList warnings;

private slots:
    void onCommand(const QString& command, const QString& args);

private:
    void sendMouse(int type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons);

    std::unique_ptr<QQuickView> m_view;
    QObject* m_root = nullptr;
};

}  // namespace movies_test
