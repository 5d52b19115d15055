#pragma once

#include <QString>
#include <memory>
#include <optional>

class TWGraphic;

// One of a branch's small graphics inside its shape: an adornment icon or,
// under the name "outlineNumberKey", the outline-number label.
class TWEnclosedGraphic
{
public:
    TWEnclosedGraphic(QString name, std::optional<QString> path, std::shared_ptr<TWGraphic> graphic)
        : m_name(std::move(name)), m_path(std::move(path)), m_graphic(std::move(graphic))
    {}

    const QString &name() const { return m_name; }
    const std::optional<QString> &path() const { return m_path; }
    const std::shared_ptr<TWGraphic> &graphic() const { return m_graphic; }
    void setGraphic(std::shared_ptr<TWGraphic> graphic) { m_graphic = std::move(graphic); }

private:
    QString m_name;
    std::optional<QString> m_path;
    std::shared_ptr<TWGraphic> m_graphic;
};
