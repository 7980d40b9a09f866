// Catches: delegates told in the wrong order, after being destroyed or removed, or when not watchable.
#include "platform/WeakDelegateList.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace flashwell;

namespace {

class Listener
{
public:
    virtual ~Listener() = default;
    virtual void heard(int value) = 0;
};

// Writes "<name><value>" into a shared log, then runs its reaction (if any).
class NamedListener final : public QObject, public Listener
{
public:
    NamedListener(std::string name, std::vector<std::string> &log)
        : m_name(std::move(name))
        , m_log(log)
    {}
    void heard(int value) override
    {
        m_log.push_back(m_name + std::to_string(value));
        if (reaction)
            reaction();
    }
    std::function<void()> reaction;

private:
    std::string m_name;
    std::vector<std::string> &m_log;
};

// Not a QObject: its lifetime cannot be watched.
class PlainListener final : public Listener
{
public:
    void heard(int) override { ++calls; }
    int calls = 0;
};

struct OrderCase
{
    const char *name;
    std::vector<std::pair<char, DelegateOrder>> adds;
    std::vector<std::string> expected;
};

[[maybe_unused]] void PrintTo(const OrderCase &c, std::ostream *os)
{
    *os << c.name;
}

class DelegateOrderTable : public ::testing::TestWithParam<OrderCase>
{
};

} // namespace

TEST_P(DelegateOrderTable, TellsInListOrder)
{
    const OrderCase &c = GetParam();
    std::vector<std::string> log;
    std::vector<std::unique_ptr<NamedListener>> listeners;
    for (char n = 'a'; n <= 'c'; ++n)
        listeners.push_back(std::make_unique<NamedListener>(std::string(1, n), log));
    WeakDelegateList<Listener> list;
    for (const auto &[name, order] : c.adds)
        list.add(listeners.at(static_cast<std::size_t>(name - 'a')).get(), order);
    list.call(&Listener::heard, 1);
    EXPECT_EQ(log, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, DelegateOrderTable,
    ::testing::Values(
        OrderCase{
            "AfterOthersInTurn", {{'a', DelegateOrder::AfterOthers}, {'b', DelegateOrder::AfterOthers}}, {"a1", "b1"}},
        OrderCase{"BeforeOthersInFront",
                  {{'a', DelegateOrder::AfterOthers}, {'b', DelegateOrder::BeforeOthers}},
                  {"b1", "a1"}},
        OrderCase{
            "LatestInFrontFirst",
            {{'a', DelegateOrder::AfterOthers}, {'b', DelegateOrder::BeforeOthers}, {'c', DelegateOrder::BeforeOthers}},
            {"c1", "b1", "a1"}},
        OrderCase{
            "AddedTwiceListedOnce",
            {{'a', DelegateOrder::AfterOthers}, {'b', DelegateOrder::AfterOthers}, {'a', DelegateOrder::BeforeOthers}},
            {"a1", "b1"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(WeakDelegateList, DestroyedDelegatesAreSkipped)
{
    std::vector<std::string> log;
    auto a = std::make_unique<NamedListener>("a", log);
    NamedListener b("b", log);
    WeakDelegateList<Listener> list;
    list.add(a.get());
    list.add(&b);
    a.reset();
    list.call(&Listener::heard, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"b2"}));
    EXPECT_EQ(list.delegates().size(), 1u);
}

TEST(WeakDelegateList, ChangesWhileTellingTakeEffectForTheNextEvent)
{
    std::vector<std::string> log;
    NamedListener a("a", log);
    NamedListener b("b", log);
    NamedListener c("c", log);
    WeakDelegateList<Listener> list;
    list.add(&a);
    list.add(&b);
    // a, told first, takes b off the list and puts c on.
    a.reaction = [&] {
        list.remove(&b);
        list.add(&c);
    };
    list.call(&Listener::heard, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"a1"})) << "b was removed before its turn; c came after the event";
    a.reaction = nullptr;
    list.call(&Listener::heard, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "a2", "c2"}));
}

TEST(WeakDelegateList, DelegatesThatCannotBeWatchedAreRefused)
{
    PlainListener plain;
    WeakDelegateList<Listener> list;
    list.add(&plain);
    list.add(nullptr);
    list.call(&Listener::heard, 1);
    EXPECT_EQ(plain.calls, 0);
    EXPECT_TRUE(list.delegates().empty());
}
