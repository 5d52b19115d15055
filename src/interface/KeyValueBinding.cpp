#include "interface/KeyValueBinding.h"

#include "interface/ColorWell.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QSignalBlocker>
#include <QSpinBox>

namespace KeyValueBinders {
bool isMultipleValues(const QVariant &value);
}

KeyValueBinder::KeyValueBinder(QWidget *control, KeyValueBindable *model, const QString &key,
                               ValueTransformer toControl, ValueTransformer toModel)
    : QObject(control), m_model(model), m_key(key), m_toControl(std::move(toControl)),
      m_toModel(std::move(toModel)), m_control(control)
{
    if (!model)
        return;
    connect(model, &KeyValueBindable::valueChanged, this, [this](const QString &changed) {
        // While this binder sets the key the model's own announcements are
        // its echo; the binder shows the result once the set is over.
        if (changed == m_key && !m_pushing)
            refresh();
    });
}

void KeyValueBinder::refresh()
{
    if (!m_model)
        return;
    const QVariant value = m_model->valueForKey(m_key);
    const QSignalBlocker blocker(m_control);
    show(m_toControl ? m_toControl(value) : value);
}

void KeyValueBinder::userChanged(const QVariant &controlValue)
{
    if (!m_model || m_pushing)
        return;
    m_pushing = true;
    m_model->setValueForKey(m_toModel ? m_toModel(controlValue) : controlValue, m_key);
    m_pushing = false;
    refresh();
}

namespace {

class CheckBoxBinder : public KeyValueBinder
{
public:
    CheckBoxBinder(QCheckBox *box, KeyValueBindable *model, const QString &key)
        : KeyValueBinder(box, model, key), m_box(box)
    {
        connect(box, &QCheckBox::clicked, this, [this](bool checked) {
            // A click out of the mixed state sends the mixed value: the
            // model decides what every selected object becomes.
            userChanged(m_wasMixed ? -1 : int(checked));
        });
        refresh();
    }

protected:
    void show(const QVariant &value) override
    {
        const int state = value.toInt();
        m_wasMixed = state == -1 || KeyValueBinders::isMultipleValues(value);
        m_box->setTristate(m_wasMixed);
        m_box->setCheckState(m_wasMixed ? Qt::PartiallyChecked
                             : state    ? Qt::Checked
                                        : Qt::Unchecked);
    }

private:
    QCheckBox *m_box;
    bool m_wasMixed = false;
};

class SpinBoxBinder : public KeyValueBinder
{
public:
    SpinBoxBinder(QSpinBox *box, KeyValueBindable *model, const QString &key)
        : KeyValueBinder(box, model, key), m_box(box)
    {
        connect(box, &QSpinBox::valueChanged, this, [this](int v) { userChanged(v); });
        refresh();
    }

protected:
    void show(const QVariant &value) override { m_box->setValue(value.toInt()); }

private:
    QSpinBox *m_box;
};

class DoubleSpinBoxBinder : public KeyValueBinder
{
public:
    DoubleSpinBoxBinder(QDoubleSpinBox *box, KeyValueBindable *model, const QString &key)
        : KeyValueBinder(box, model, key), m_box(box)
    {
        connect(box, &QDoubleSpinBox::valueChanged, this,
                [this](double v) { userChanged(float(v)); });
        refresh();
    }

protected:
    void show(const QVariant &value) override { m_box->setValue(value.toDouble()); }

private:
    QDoubleSpinBox *m_box;
};

class SliderBinder : public KeyValueBinder
{
public:
    SliderBinder(QAbstractSlider *slider, KeyValueBindable *model, const QString &key,
                 ValueTransformer toControl, ValueTransformer toModel)
        : KeyValueBinder(slider, model, key, std::move(toControl), std::move(toModel)),
          m_slider(slider)
    {
        connect(slider, &QAbstractSlider::valueChanged, this, [this](int v) { userChanged(v); });
        refresh();
    }

protected:
    void show(const QVariant &value) override { m_slider->setValue(value.toInt()); }

private:
    QAbstractSlider *m_slider;
};

class ColorWellBinder : public KeyValueBinder
{
public:
    ColorWellBinder(ColorWell *well, KeyValueBindable *model, const QString &key)
        : KeyValueBinder(well, model, key), m_well(well)
    {
        connect(well, &ColorWell::colorChosen, this,
                [this](const Color &c) { userChanged(QVariant::fromValue(c)); });
        refresh();
    }

protected:
    void show(const QVariant &value) override
    {
        m_well->setColor(value.metaType() == QMetaType::fromType<Color>()
                             ? std::optional<Color>(value.value<Color>())
                             : std::nullopt);
    }

private:
    ColorWell *m_well;
};

class FontBinder : public KeyValueBinder
{
public:
    FontBinder(QFontComboBox *box, KeyValueBindable *model, const QString &key,
               ValueTransformer toControl, ValueTransformer toModel)
        : KeyValueBinder(box, model, key, std::move(toControl), std::move(toModel)), m_box(box)
    {
        connect(box, &QFontComboBox::currentFontChanged, this,
                [this](const QFont &f) { userChanged(f); });
        refresh();
    }

protected:
    void show(const QVariant &value) override
    {
        if (value.canConvert<QFont>() && value.isValid())
            m_box->setCurrentFont(value.value<QFont>());
        else
            m_box->setCurrentIndex(-1);
    }

private:
    QFontComboBox *m_box;
};

class PopUpBinder : public KeyValueBinder
{
public:
    PopUpBinder(QComboBox *box, KeyValueBindable *model, const QString &key)
        : KeyValueBinder(box, model, key), m_box(box)
    {
        connect(box, &QComboBox::activated, this,
                [this](int index) { userChanged(m_box->itemData(index)); });
        refresh();
    }

protected:
    void show(const QVariant &value) override { m_box->setCurrentIndex(m_box->findData(value)); }

private:
    QComboBox *m_box;
};

class EnabledBinder : public KeyValueBinder
{
public:
    EnabledBinder(QWidget *control, KeyValueBindable *model, const QString &key,
                  ValueTransformer transformer)
        : KeyValueBinder(control, model, key, std::move(transformer))
    {
        refresh();
    }

protected:
    void show(const QVariant &value) override { m_control->setEnabled(value.toBool()); }
};

} // namespace

namespace KeyValueBinders {

QVariant multipleValuesMarker()
{
    return QVariant::fromValue(MultipleValuesMarker{});
}

bool isMultipleValues(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<MultipleValuesMarker>();
}

KeyValueBinder *bindCheckBox(QCheckBox *box, KeyValueBindable *model, const QString &key)
{
    return new CheckBoxBinder(box, model, key);
}

KeyValueBinder *bindSpinBox(QSpinBox *box, KeyValueBindable *model, const QString &key)
{
    return new SpinBoxBinder(box, model, key);
}

KeyValueBinder *bindSpinBox(QDoubleSpinBox *box, KeyValueBindable *model, const QString &key)
{
    return new DoubleSpinBoxBinder(box, model, key);
}

KeyValueBinder *bindSlider(QAbstractSlider *slider, KeyValueBindable *model, const QString &key,
                           ValueTransformer toControl, ValueTransformer toModel)
{
    return new SliderBinder(slider, model, key, std::move(toControl), std::move(toModel));
}

KeyValueBinder *bindColorWell(ColorWell *well, KeyValueBindable *model, const QString &key)
{
    return new ColorWellBinder(well, model, key);
}

KeyValueBinder *bindFont(QFontComboBox *box, KeyValueBindable *model, const QString &key,
                         ValueTransformer toControl, ValueTransformer toModel)
{
    return new FontBinder(box, model, key, std::move(toControl), std::move(toModel));
}

KeyValueBinder *bindPopUp(QComboBox *box, KeyValueBindable *model, const QString &key)
{
    return new PopUpBinder(box, model, key);
}

KeyValueBinder *bindEnabled(QWidget *control, KeyValueBindable *model, const QString &key,
                            ValueTransformer transformer)
{
    return new EnabledBinder(control, model, key, std::move(transformer));
}

} // namespace KeyValueBinders
