#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace flashwell::test {

// The manual-update guide as the shared picture-and-text table lists it, written out here
// independently of the view's own table so that a slip in either shows.
struct GuideExpectation
{
    QString picture;
    QString pictureWithF; // empty: one picture
    QStringList keys;     // two or three
};

inline QStringList guideSet(int n, int lines)
{
    QStringList keys;
    for (int i = 1; i <= lines; ++i)
        keys << QStringLiteral("guideSet%1_%2").arg(n).arg(i);
    return keys;
}

inline QStringList guideKit(int n)
{
    return {QStringLiteral("guideKit%1_1").arg(n), QStringLiteral("guideKit%1_2").arg(n)};
}

// Key -> what the guide shows. Keys 1, 4, 9 and 13 are chosen by the catalogue type alone.
inline std::map<int, GuideExpectation> guideContract()
{
    std::map<int, GuideExpectation> rows;
    const auto own = [&](std::initializer_list<int> keys, const QStringList &lines) {
        for (int key : keys)
            rows[key] = {QStringLiteral("guide_%1").arg(key), {}, lines};
    };
    const auto shared = [&](std::initializer_list<int> keys, const char *picture, const QStringList &lines) {
        for (int key : keys)
            rows[key] = {QString::fromLatin1(picture), {}, lines};
    };
    own({1}, guideSet(2, 3));
    own({4, 9, 13}, guideSet(1, 3));
    shared({5}, "guide_4", guideSet(1, 3));
    rows[2] = {QStringLiteral("guide_2"), QStringLiteral("guide_2_F"), guideSet(3, 3)};
    own({3, 10, 55, 57, 60}, guideSet(3, 3));
    own({6, 21, 22, 59}, guideSet(4, 2));
    rows[7] = {QStringLiteral("guide_7"), QStringLiteral("guide_7_F"), guideSet(4, 2)};
    shared({8, 39}, "guide_8", guideSet(5, 2));
    own({11, 42}, guideSet(5, 2));
    for (int kit : {14, 15, 16, 24, 27})
        own({kit}, guideKit(kit));
    own({26}, guideKit(15));
    own({20}, guideSet(6, 2));
    own({23, 54}, guideSet(7, 3));
    own({25}, guideSet(8, 3));
    shared({33, 38}, "guide_33", guideSet(8, 3));
    shared({28, 46, 47}, "guide_28", guideSet(9, 3));
    own({30, 35}, guideSet(10, 3));
    own({31}, guideSet(11, 3));
    own({51}, {QStringLiteral("guideSet11_1"), QStringLiteral("guide51_2"), QStringLiteral("guideSet12_3")});
    own({34}, guideSet(12, 3));
    own({44, 49, 52, 58}, guideSet(13, 3));
    own({36, 40, 45, 50, 53}, {QStringLiteral("guideKeyA"), QStringLiteral("guideKeyB")});
    own({37}, {QStringLiteral("guideKeyA"), QStringLiteral("guide37_2")});
    shared({41, 43}, "guide_41", {QStringLiteral("HOMEKey"), QStringLiteral("guideKeyB")});
    own({48}, {QStringLiteral("HOMEKey"), QStringLiteral("guideKeyB")});
    return rows;
}

} // namespace flashwell::test
