#pragma once

#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"

#include <QPointer>
#include <QWidget>

class KeyValueBindable;

// The font sample of the graphic style editor: shows "Name (24pt)" of the
// text attributes' font, drawn in that font at 12 points and in their
// colour, and lets the user pick another font or colour. Bound to a key of a
// model, each choice is written back there.
class TWFontView : public QWidget
{
    Q_OBJECT

public:
    static constexpr double SampleSize = 12.0;

    explicit TWFontView(QWidget *parent = nullptr);

    const OrderedDictionary &stringAttributes() const { return m_stringAttributes; }
    void setStringAttributes(const OrderedDictionary &attributes);
    // The attributes' font; a null font without one.
    Font font() const;
    // Black without a colour.
    Color fontColor() const;
    void setFontColor(const Color &color);

    // "Display Name (24pt)".
    QString sampleText() const;
    // What the sample is drawn in.
    QFont sampleFont() const;
    // The name a font menu shows: the family, and the face unless it is the
    // plain one.
    static QString displayName(const Font &font);
    // The installed face closest to a font a font dialog gives.
    static Font fontFromQFont(const QFont &font);

    // Follows the key of the model and writes each choice there.
    void bind(KeyValueBindable *model, const QString &key);
    void updateBinding();

    // Opens the shared font panel on this view's font.
    void chooseFont();
    void changeFont(const QFont &font);

    QSize sizeHint() const override { return {220, 28}; }

signals:
    void fontColorChanged(const Color &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    OrderedDictionary m_stringAttributes;
    QPointer<KeyValueBindable> m_model;
    QString m_key;
};
