// A stand-in for the program editor: one window with a text field, which writes every key it
// receives to the file named by its first argument, so a test can read what reached it. It
// writes "<Start>" when it starts, Ctrl+O as "<Ctrl+O>", Enter as "<Enter>", other keys as the
// text they type.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

class KeyRecorder final : public QObject {
public:
    explicit KeyRecorder(QString path) : m_file(std::move(path)) { write(QStringLiteral("<Start>")); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Each key reaches the window and then the field; the field's copy is the one to keep.
        if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched) != nullptr) {
            record(*static_cast<QKeyEvent*>(event));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void record(const QKeyEvent& key) {
        QString token;
        if (key.key() == Qt::Key_O && key.modifiers().testFlag(Qt::ControlModifier)) {
            token = QStringLiteral("<Ctrl+O>");
        } else if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
            token = QStringLiteral("<Enter>");
        } else {
            token = key.text();
        }
        if (!token.isEmpty()) { // empty: a modifier alone
            write(token);
        }
    }

    void write(const QString& token) {
        if (m_file.isOpen() || m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            m_file.write(token.toUtf8());
            m_file.flush();
        }
    }

    QFile m_file;
};

} // namespace

int main(int argc, char* argv[]) {
    // It is driven through a real X display, whatever platform its parent ran on.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    KeyRecorder recorder(QString::fromLocal8Bit(argv[1]));
    app.installEventFilter(&recorder);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Stand-in editor"));
    auto* field = new QLineEdit(&window);
    field->setObjectName(QStringLiteral("text"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    window.resize(400, 80);
    window.show();
    field->setFocus();
    return QApplication::exec();
}
