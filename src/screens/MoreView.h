#pragma once

#include "device/SFenwykDeviceDetailsTools.h"
#include "platform/WeakDelegate.h"
#include "screens/MoreViewDelegate.h"
#include "ui/SView.h"

#include <QPointer>

class QAbstractButton;
class QScrollArea;

namespace flashwell {

class SLabel;

// The product chooser: a heading, a thin rule and a scrolling grid of product pictures, three
// to a row, one per chooser entry of the catalogue. A click hands the root controller a record
// carrying only the chosen catalogue entry.
class MoreView : public SView
{
    Q_OBJECT
public:
    static constexpr int kRowHeight = 175;

    explicit MoreView(QWidget *parent = nullptr);

    MoreViewDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(MoreViewDelegate *delegate) { m_delegate.set(delegate); }

    // Positions the parts and rebuilds the grid; runs on every resize.
    void layout();
    void addProduct();
    // A product button's action; `tag` indexes `moreSFenwykDatails`.
    void moreClick(int tag);

    double m_widht = 0;
    double m_height = 0;
    SLabel *title = nullptr;
    QWidget *line = nullptr;
    QScrollArea *moreScrollView = nullptr;
    SFenwykCatalogue moreSFenwykDatails;

    // The grid's product buttons, in tag order (for tests and keyboard focus).
    QList<QAbstractButton *> productButtons() const;
    // The name a product shows under its picture: without the maker word.
    static QString displayName(const SFenwykDataDetails &entry);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    WeakDelegate<MoreViewDelegate> m_delegate;
};

} // namespace flashwell
