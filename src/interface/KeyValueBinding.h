#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>

class QAbstractButton;
class QAbstractSlider;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QSpinBox;
class ColorWell;

// An object whose values controls bind to by key: it answers and takes a
// value per key and says when one changed. Stands in for key-value coding
// and observing between palettes and the models they show.
class KeyValueBindable : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QVariant valueForKey(const QString &key) const = 0;
    virtual void setValueForKey(const QVariant &value, const QString &key) = 0;

signals:
    void valueChanged(const QString &key);
};

// The value of a key whose objects disagree, where -1 would be a value.
struct MultipleValuesMarker
{
    bool operator==(const MultipleValuesMarker &) const { return true; }
};
Q_DECLARE_METATYPE(MultipleValuesMarker)

// Value transformers are plain functions between the model's value and the
// control's.
using ValueTransformer = std::function<QVariant(const QVariant &)>;

// Keeps one control and one key of a bindable in step both ways: the control
// shows the key's value and follows its changes; a user change of the control
// sets the key. A change the binder itself causes is not echoed back into the
// model, and a value it shows is not sent back as a user change. Owned by the
// control: it goes with it; it stops when the bindable goes.
class KeyValueBinder : public QObject
{
    Q_OBJECT

public:
    KeyValueBinder(QWidget *control, KeyValueBindable *model, const QString &key,
                   ValueTransformer toControl = {}, ValueTransformer toModel = {});

    const QString &key() const { return m_key; }
    KeyValueBindable *model() const { return m_model; }
    // Shows the model's current value.
    void refresh();

protected:
    // Puts the value into the control (signals of the control are blocked).
    virtual void show(const QVariant &value) = 0;
    // The user changed the control.
    void userChanged(const QVariant &controlValue);

private:
    QPointer<KeyValueBindable> m_model;
    QString m_key;
    ValueTransformer m_toControl;
    ValueTransformer m_toModel;
    bool m_pushing = false;

protected:
    QWidget *m_control;
};

namespace KeyValueBinders {

QVariant multipleValuesMarker();
bool isMultipleValues(const QVariant &value);

// A three-state check box: 1 checked, 0 unchecked, -1 or the marker (mixed)
// partially checked. A click on a mixed box sends -1 and the model decides what shows.
KeyValueBinder *bindCheckBox(QCheckBox *box, KeyValueBindable *model, const QString &key);
// Whole numbers (a spin box); float values through a double spin box.
KeyValueBinder *bindSpinBox(QSpinBox *box, KeyValueBindable *model, const QString &key);
KeyValueBinder *bindSpinBox(QDoubleSpinBox *box, KeyValueBindable *model, const QString &key);
// A slider sends every value it passes while dragged.
KeyValueBinder *bindSlider(QAbstractSlider *slider, KeyValueBindable *model, const QString &key,
                           ValueTransformer toControl = {}, ValueTransformer toModel = {});
KeyValueBinder *bindColorWell(ColorWell *well, KeyValueBindable *model, const QString &key);
// The font family of a QFont-valued key, through the transformers when the
// key holds something else (text attributes).
KeyValueBinder *bindFont(QFontComboBox *box, KeyValueBindable *model, const QString &key,
                         ValueTransformer toControl = {}, ValueTransformer toModel = {});
// A pop-up whose items carry the values as their data; a value no item
// carries (-1, mixed) shows no item.
KeyValueBinder *bindPopUp(QComboBox *box, KeyValueBindable *model, const QString &key);
// The control is enabled while the transformed value is true (a plain
// reading of the value without a transformer).
KeyValueBinder *bindEnabled(QWidget *control, KeyValueBindable *model, const QString &key,
                            ValueTransformer transformer = {});

} // namespace KeyValueBinders
