#include "componentmodel/NotifyListModel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaType>
#include <QPointer>

#include <functional>

using namespace ComponentModel;

namespace {

QSharedPointer<QObject> item(const char* name)
{
    auto object = QSharedPointer<QObject>::create();
    object->setObjectName(QLatin1String(name));
    return object;
}

QString names(const ObjectList& items)
{
    QStringList list;
    for (const auto& i : items)
        list << i->objectName();
    return list.join(QLatin1Char(','));
}

QString names(const NotifyList& list)
{
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.at(i)->objectName();
    return result.join(QLatin1Char(','));
}

// Records every change the list announces and every row notification the
// model gives, with the model's row count at the moment of the notification.
struct Observer {
    explicit Observer(NotifyList& list) : model(&list)
    {
        QObject::connect(&list, &NotifyList::listChanged, [this](const ListChangedSignalArgs& a) { changes << a; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [this](const QModelIndex&, int f, int l) {
            events << QStringLiteral("insert %1-%2 rows=%3").arg(f).arg(l).arg(model.rowCount());
        });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [this](const QModelIndex&, int f, int l) {
            events << QStringLiteral("remove %1-%2 rows=%3").arg(f).arg(l).arg(model.rowCount());
        });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] {
            events << QStringLiteral("reset rows=%1").arg(model.rowCount());
        });
    }
    NotifyListModel model;
    QList<ListChangedSignalArgs> changes;
    QStringList events;
};

struct ListCase {
    const char* name;
    std::function<void(NotifyList&, const QSharedPointer<QObject>& x)> change;
    const char* after;
    ListChangedSignalArgs::Action action;
    int newIndex;
    const char* newItems;
    int oldIndex;
    const char* oldItems;
    const char* modelEvents;
};

void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }

class NotifyListChange : public testing::TestWithParam<ListCase> {};

} // namespace

TEST_P(NotifyListChange, ChangesListThenAnnouncesOnceAndModelFollows)
{
    const ListCase& c = GetParam();
    NotifyList list;
    for (const char* n : {"a", "b", "c"})
        list.append(item(n));
    Observer observer(list);
    auto x = item("x");

    c.change(list, x);

    EXPECT_EQ(names(list), QLatin1String(c.after));
    ASSERT_EQ(observer.changes.size(), 1);
    const ListChangedSignalArgs& args = observer.changes.first();
    EXPECT_EQ(args.sender(), &list);
    EXPECT_EQ(args.action(), c.action);
    EXPECT_EQ(args.newIndex(), c.newIndex);
    EXPECT_EQ(names(args.newItems()), QLatin1String(c.newItems));
    EXPECT_EQ(args.oldIndex(), c.oldIndex);
    EXPECT_EQ(names(args.oldItems()), QLatin1String(c.oldItems));
    EXPECT_EQ(observer.events.join(QLatin1String("; ")), QLatin1String(c.modelEvents));
    EXPECT_EQ(observer.model.rowCount(), list.count());
}

INSTANTIATE_TEST_SUITE_P(
    Operations, NotifyListChange,
    testing::Values(
        ListCase{"append", [](NotifyList& l, auto x) { l.append(x); }, "a,b,c,x", ListChangedSignalArgs::Add, 3, "x",
                 -1, "", "insert 3-3 rows=4"},
        ListCase{"insert", [](NotifyList& l, auto x) { l.insert(1, x); }, "a,x,b,c", ListChangedSignalArgs::Add, 1,
                 "x", -1, "", "insert 1-1 rows=4"},
        ListCase{"insertAtEnd", [](NotifyList& l, auto x) { l.insert(3, x); }, "a,b,c,x", ListChangedSignalArgs::Add,
                 3, "x", -1, "", "insert 3-3 rows=4"},
        ListCase{"replace", [](NotifyList& l, auto x) { l.replace(1, x); }, "a,x,c", ListChangedSignalArgs::Replace,
                 1, "x", 1, "b", "remove 1-1 rows=3; insert 1-1 rows=3"},
        ListCase{"remove", [](NotifyList& l, auto) { l.remove(1); }, "a,c", ListChangedSignalArgs::Remove, -1, "", 1,
                 "b", "remove 1-1 rows=2"},
        ListCase{"move", [](NotifyList& l, auto) { l.move(0, 2); }, "b,c,a", ListChangedSignalArgs::Move, 2, "a", 0,
                 "a", "remove 0-0 rows=3; insert 2-2 rows=3"},
        ListCase{"moveInPlace", [](NotifyList& l, auto) { l.move(1, 1); }, "a,b,c", ListChangedSignalArgs::Move, 1,
                 "b", 1, "b", "remove 1-1 rows=3; insert 1-1 rows=3"},
        ListCase{"swap", [](NotifyList& l, auto) { l.swap(0, 2); }, "c,b,a", ListChangedSignalArgs::Swap, 2, "a", 0,
                 "c", "reset rows=3"},
        ListCase{"clear", [](NotifyList& l, auto) { l.clear(); }, "", ListChangedSignalArgs::Clear, -1, "", -1,
                 "a,b,c", "reset rows=0"}),
    [](const testing::TestParamInfo<ListCase>& info) { return info.param.name; });

TEST(NotifyList, RefusesBadIndexesAndEmptyClearWithoutAnnouncing)
{
    NotifyList list;
    Observer observer(list);
    list.clear();
    list.append(item("a"));
    observer.changes.clear();
    observer.events.clear();

    list.insert(5, item("x"));
    list.insert(-1, item("x"));
    list.remove(1);
    list.replace(-1, item("x"));
    list.move(0, 1);
    list.swap(0, 7);

    EXPECT_EQ(names(list), QLatin1String("a"));
    EXPECT_TRUE(observer.changes.isEmpty());
    EXPECT_TRUE(observer.events.isEmpty());
    EXPECT_TRUE(list.at(1).isNull());
    EXPECT_TRUE(list.at(-1).isNull());
}

TEST(NotifyList, IndexOfSearchesFromStartByObjectPointer)
{
    NotifyList list;
    auto a = item("a"), b = item("b");
    list.append(a);
    list.append(b);
    list.append(a);
    EXPECT_EQ(list.indexOf(a.data(), 0), 0);
    EXPECT_EQ(list.indexOf(a, 1), 2);
    EXPECT_EQ(list.indexOf(b.data(), 2), -1);
    EXPECT_EQ(list.indexOf(a.data(), list.count()), -1);
    QObject stranger;
    EXPECT_EQ(list.indexOf(&stranger, 0), -1);
}

namespace {
class HookedList : public NotifyList {
public:
    QStringList seen;

protected:
    void notifyHook(const QSharedPointer<QObject>& i) override
    {
        seen << QStringLiteral("%1 before, count %2").arg(i->objectName()).arg(count());
    }
};
} // namespace

TEST(NotifyList, HookSeesItemsBeforeInsertAndAppendOnly)
{
    HookedList list;
    list.append(item("a"));
    list.insert(0, item("b"));
    list.replace(0, item("c"));
    EXPECT_EQ(list.seen, QStringList({"a before, count 0", "b before, count 1"}));
}

TEST(NotifyList, RemovedItemLivesWhileArgumentsHoldIt)
{
    NotifyList list;
    QPointer<QObject> watched;
    {
        auto b = item("b");
        watched = b.data();
        list.append(item("a"));
        list.append(b);
    }
    ListChangedSignalArgs kept;
    QObject::connect(&list, &NotifyList::listChanged, [&kept](const ListChangedSignalArgs& a) { kept = a; });
    list.replace(1, item("x"));
    EXPECT_FALSE(watched.isNull());
    kept = ListChangedSignalArgs();
    EXPECT_TRUE(watched.isNull());
}

TEST(NotifyListModel, ServesItemsUnderObjectRoleOnlyAndEmptiesWhenListDies)
{
    auto* list = new NotifyList;
    auto a = item("a");
    list->append(a);
    NotifyListModel model(list);

    EXPECT_EQ(model.roleNames(), (QHash<int, QByteArray>{{Qt::UserRole + 1, "object"}}));
    EXPECT_EQ(model.data(model.index(0), Qt::UserRole + 1).value<QObject*>(), a.data());
    EXPECT_FALSE(model.data(model.index(0), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.data(model.index(1), Qt::UserRole + 1).isValid());
    EXPECT_EQ(model.flags(QModelIndex()), Qt::ItemIsEnabled);
    EXPECT_TRUE(model.flags(model.index(0)).testFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable));

    const QModelIndex row = model.index(0);
    delete list;
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.data(row, Qt::UserRole + 1).isValid());
}

TEST(MetaTypes, ValueTypesAreRegisteredUnderTheirNamesWithDefaults)
{
    for (const char* name :
         {"ComponentModel::PropertyBinding::Mode", "ComponentModel::ListChangedSignalArgs",
          "ComponentModel::ListChangedSignalArgs::Action", "ComponentModel::Platform::Architecture",
          "ComponentModel::PropertyChangedSignalArgs", "ComponentModel::SelectionChangedSignalArgs",
          "ComponentModel::SignalArgs"}) {
        EXPECT_TRUE(QMetaType::fromName(name).isValid()) << name;
    }
    QVariant made(QMetaType::fromName("ComponentModel::ListChangedSignalArgs"));
    const auto list = made.value<ListChangedSignalArgs>();
    EXPECT_EQ(list.action(), ListChangedSignalArgs::NoAction);
    EXPECT_EQ(list.newIndex(), -1);
    EXPECT_EQ(list.oldIndex(), -1);
    EXPECT_TRUE(list.newItems().isEmpty() && list.oldItems().isEmpty());
    const auto selection = QVariant(QMetaType::fromName("ComponentModel::SelectionChangedSignalArgs"))
                               .value<SelectionChangedSignalArgs>();
    EXPECT_EQ(selection.newIndex(), -1);
    EXPECT_EQ(selection.oldIndex(), -1);
}

TEST(MetaTypes, ListChangesCrossQueuedConnections)
{
    NotifyList list;
    QObject receiver;
    ListChangedSignalArgs received;
    QObject::connect(&list, &NotifyList::listChanged, &receiver,
                     [&received](const ListChangedSignalArgs& a) { received = a; }, Qt::QueuedConnection);
    list.append(item("a"));
    EXPECT_EQ(received.action(), ListChangedSignalArgs::NoAction);
    QCoreApplication::processEvents();
    EXPECT_EQ(received.action(), ListChangedSignalArgs::Add);
    EXPECT_EQ(names(received.newItems()), QLatin1String("a"));
}
