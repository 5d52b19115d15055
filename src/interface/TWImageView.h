#pragma once

#include "support/Image.h"

#include <QHash>
#include <QVariant>
#include <QWidget>
#include <functional>
#include <optional>

// An image well with actions to choose a picture file and to clear the
// picture. The "value" binding receives the Image, the "data" binding the
// file's bytes.
class TWImageView : public QWidget
{
    Q_OBJECT
public:
    using BindingWriter = std::function<void(const QVariant &value)>;

    explicit TWImageView(QWidget *parent = nullptr);

    const std::optional<Image> &image() const { return m_image; }
    void setImage(const std::optional<Image> &image);

    void bind(const QString &binding, BindingWriter writer);
    void unbind(const QString &binding) { m_bindings.remove(binding); }
    bool isBound(const QString &binding) const { return m_bindings.contains(binding); }

    // The picture types the open panel offers.
    static QStringList imageFileTypes();

public slots:
    // Asks for one picture file. A file that is no readable picture is
    // refused with a beep and changes nothing; cancelling changes nothing.
    void set();
    void clear();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void writeBinding(const QString &binding, const QVariant &value);

    std::optional<Image> m_image;
    QHash<QString, BindingWriter> m_bindings;
};
