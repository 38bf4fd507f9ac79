// lblStatusBar: the station's one status line. The messages that matter most are the longest (a
// port named by its /dev/serial/by-id/ link, a refusal with its reason), so the line shows its
// whole text: wrapped at word boundaries, or inside a word when a path has none, and as tall as
// the text needs at the width it is given. Only a text beyond kMaxLines (a garbled scan) loses
// its middle; the tooltip always has all of it.
#pragma once

#include <QFrame>
#include <QString>
#include <QStringList>

namespace quorlan::shell {

class StatusLine final : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    static constexpr int kMaxLines = 8;

    explicit StatusLine(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);

    // The lines shown when the line is width pixels wide, frame included.
    QStringList shownLines(int width) const;
    // The height never goes below this, the one line of the window's design.
    void setLeastHeight(int pixels);

    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The line took another height, for a new text or a new width.
    void heightChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int padding() const;
    void fitHeight();

    QString m_text;
    int m_leastHeight = 0;
};

} // namespace quorlan::shell
