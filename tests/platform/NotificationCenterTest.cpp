// Catches: a notification delivered to the wrong or a destroyed observer.
#include "platform/NotificationCenter.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>

using flashwell::NotificationCenter;

TEST(NotificationCenter, DeliversByNameAndForgetsDestroyedObservers)
{
    NotificationCenter center;
    int errors = 0;
    int others = 0;
    auto observer = std::make_unique<QObject>();
    center.addObserver(observer.get(), QStringLiteral("updateErrorNotification"), [&] { ++errors; });
    center.addObserver(observer.get(), QStringLiteral("updateViewBack"), [&] { ++others; });

    center.post(QStringLiteral("updateErrorNotification"));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(others, 0);

    observer.reset();
    center.post(QStringLiteral("updateErrorNotification"));
    EXPECT_EQ(errors, 1);
}

TEST(NotificationCenter, ObserverMayRemoveItselfWhileBeingNotified)
{
    NotificationCenter center;
    QObject a;
    QObject b;
    int calls = 0;
    center.addObserver(&a, QStringLiteral("n"), [&] {
        ++calls;
        center.removeObserver(&a);
    });
    center.addObserver(&b, QStringLiteral("n"), [&] { ++calls; });
    center.post(QStringLiteral("n"));
    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, 3);
}
