#include "componentmodel/NotifyObject.h"
#include "componentmodel/PropertyBinding.h"
#include "componentmodel/SignalBlocker.h"

#include <gtest/gtest.h>

#include <QPointer>

using namespace ComponentModel;

namespace {

// An int property with a notify signal and one without; counts how often
// its notify signal reached a listener.
class Holder : public QObject {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(int quiet READ quiet WRITE setQuiet)
public:
    int value() const { return value_; }
    void setValue(int v)
    {
        ++writes;
        if (v == value_)
            return;
        value_ = v;
        emit valueChanged();
    }
    int quiet() const { return quiet_; }
    void setQuiet(int v) { quiet_ = v; }
    int writes = 0;

signals:
    void valueChanged();

private:
    int value_ = 0;
    int quiet_ = 0;
};

// Announces changes only through the NotifyObject signal.
class Announcer : public NotifyObject {
    Q_OBJECT
    Q_PROPERTY(int level READ level WRITE setLevel)
    Q_PROPERTY(int other READ other WRITE setOther)
public:
    int level() const { return level_; }
    void setLevel(int v)
    {
        level_ = v;
        notifyPropertyChanged(QStringLiteral("level"), v);
    }
    int other() const { return other_; }
    void setOther(int v)
    {
        other_ = v;
        notifyPropertyChanged(QStringLiteral("other"), v);
    }

private:
    int level_ = 0;
    int other_ = 0;
};

class PlusOne : public PropertyValueConverter {
public:
    QVariant convert(QObject*, const QString&, const QVariant& v) override { return v.toInt() + 1; }
    QVariant convertBack(QObject*, const QString&, const QVariant& v) override { return v.toInt() - 1; }
};

class Refuser : public PropertyValueConverter {
public:
    QVariant convert(QObject*, const QString&, const QVariant&) override { return {}; }
    QVariant convertBack(QObject*, const QString&, const QVariant&) override { return {}; }
};

} // namespace

TEST(PropertyBinding, OneWayCopiesAtOnceAndOnEverySourceChangeButNeverBack)
{
    Holder source, target;
    source.setValue(4);
    PropertyBinding binding(&target, "value", &source, "value", PropertyBinding::OneWay);
    EXPECT_EQ(target.value(), 4);
    source.setValue(7);
    EXPECT_EQ(target.value(), 7);
    target.setValue(1);
    EXPECT_EQ(source.value(), 7);
}

TEST(PropertyBinding, OneWayToSourceCopiesTargetAtOnceAndIgnoresSource)
{
    Holder source, target;
    target.setValue(3);
    PropertyBinding binding(&target, "value", &source, "value", PropertyBinding::OneWayToSource);
    EXPECT_EQ(source.value(), 3);
    source.setValue(9);
    EXPECT_EQ(target.value(), 3);
    target.setValue(5);
    EXPECT_EQ(source.value(), 5);
}

TEST(PropertyBinding, TwoWayThroughConverterEndsEchoWithSilencedTarget)
{
    Holder source, target;
    int targetSignals = 0;
    QObject::connect(&target, &Holder::valueChanged, [&] { ++targetSignals; });
    PlusOne converter;
    source.setValue(5);
    PropertyBinding binding(&target, "value", &source, "value", PropertyBinding::TwoWay, &converter);
    EXPECT_EQ(target.value(), 6);
    EXPECT_EQ(targetSignals, 0);

    target.writes = 0;
    target.setValue(10);
    EXPECT_EQ(source.value(), 9);
    EXPECT_EQ(target.value(), 10);
    EXPECT_EQ(target.writes, 2);  // the user's write and the silenced write-back
    EXPECT_EQ(targetSignals, 1);
    EXPECT_FALSE(target.signalsBlocked());
}

TEST(PropertyBinding, ConverterReturningInvalidWritesNothing)
{
    Holder source, target;
    source.setValue(5);
    target.setValue(2);
    Refuser refuser;
    PropertyBinding binding(&target, "value", &source, "value", PropertyBinding::TwoWay, &refuser);
    EXPECT_FALSE(binding.updateTarget());
    EXPECT_FALSE(binding.updateSource());
    EXPECT_EQ(target.value(), 2);
    EXPECT_EQ(source.value(), 5);
}

TEST(PropertyBinding, DeletedConverterLetsValuesPassUnconverted)
{
    Holder source, target;
    auto* converter = new PlusOne;
    PropertyBinding binding(&target, "value", &source, "value", PropertyBinding::OneWay, converter);
    source.setValue(3);
    EXPECT_EQ(target.value(), 4);
    delete converter;
    source.setValue(8);
    EXPECT_EQ(target.value(), 8);
}

TEST(PropertyBinding, PropertyWithoutNotifySignalIsCopiedOnlyAtConstruction)
{
    Holder source, target;
    source.setQuiet(2);
    PropertyBinding binding(&target, "value", &source, "quiet", PropertyBinding::OneWay);
    EXPECT_EQ(target.value(), 2);
    source.setQuiet(6);
    EXPECT_EQ(target.value(), 2);
}

TEST(PropertyBinding, NotifyObjectIsFollowedByPropertyNameOnly)
{
    Announcer source;
    Holder target;
    source.setLevel(1);
    PropertyBinding binding(&target, "value", &source, "level", PropertyBinding::OneWay);
    EXPECT_EQ(target.value(), 1);
    source.setLevel(4);
    EXPECT_EQ(target.value(), 4);
    source.setOther(3);  // another property's announcement
    EXPECT_EQ(target.value(), 4);
}

TEST(PropertyBinding, DeletingEitherObjectDetachesTheBinding)
{
    auto* source = new Holder;
    QPointer<Holder> target = new Holder;
    PropertyBinding binding(target, "value", source, "value", PropertyBinding::TwoWay);
    delete source;
    target->setValue(5);  // would reach a freed source if still bound
    EXPECT_FALSE(binding.updateTarget());
    EXPECT_FALSE(binding.updateSource());
    delete target;
    EXPECT_TRUE(target.isNull());
}

TEST(SignalBlocker, UnblocksOnExitWhateverTheStateBeforeAndSurvivesDeath)
{
    Holder holder;
    holder.blockSignals(true);
    {
        SignalBlocker blocker(&holder);
        EXPECT_TRUE(holder.signalsBlocked());
    }
    EXPECT_FALSE(holder.signalsBlocked());

    auto* doomed = new Holder;
    auto blocker = std::make_unique<SignalBlocker>(doomed);
    delete doomed;
    blocker.reset();  // must not touch the freed object
    SignalBlocker none(nullptr);
}

#include "PropertyBindingTest.moc"
