#pragma once

#include "device/SFenwykDevice.h"
#include "ui/SView.h"
#include "update/ManualGuideTable.h"

#include <array>
#include <span>

namespace flashwell {

class ImageView;
class SLabel;

// The picture-and-three-lines guide that tells the user how to put a device into its update
// mode by hand; in its error form (after a failed update) the lines are red.
class DeviceManualView : public SView
{
    Q_OBJECT

public:
    // The guide's table lives without widgets (the command line prints the same lines).
    using GuideRow = guide_table::GuideRow;
    // Rows chosen by the catalogue type alone, applied first.
    static std::span<const GuideRow> typeRows() { return guide_table::typeRows(); }
    // Rows chosen by the type plus 1 for a receiver's guide; they replace a type row.
    static std::span<const GuideRow> keyedRows() { return guide_table::keyedRows(); }
    // The picture a row shows for a catalogue name.
    static const char *pictureFor(const GuideRow &row, const QString &catalogueName)
    {
        return guide_table::pictureFor(row, catalogueName);
    }

    explicit DeviceManualView(QWidget *parent = nullptr);

    const SFenwykDevicePtr &device() const { return m_device; }
    void setDevice(SFenwykDevicePtr device);
    bool error() const { return m_error; }
    void setError(bool error);

    // Lays out and fills the guide; runs on every resize and whenever the device or the error
    // flag changes. (Hides QWidget::layout(), which this view does not use.)
    void layout();
    // Fills the picture and the lines from the guide table.
    void setUI();
    void setMainImageView(const QString &picture, const QString &one, const QString &two, const QString &three);

    ImageView *mainImageView() const { return m_mainImageView; }
    ImageView *submainImageView() const { return m_submainImageView; }
    ImageView *subImageView() const { return m_subImageView; }
    ImageView *subsubImageView() const { return m_subsubImageView; }
    SLabel *oneHintLabel() const { return m_oneHintLabel; }
    SLabel *twoHintLabel() const { return m_twoHintLabel; }
    SLabel *threeHintLabel() const { return m_threeHintLabel; }
    // "The update failed", above the picture, shown only in the error form.
    SLabel *errorHintLabel() const { return m_errorHintLabel; }
    double m_widht() const { return m_size.width(); }
    double m_heigh() const { return m_size.height(); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QRectF mainImageFrame() const;
    void setMainFrame(const QRectF &frame);
    void applyRow(const GuideRow &row, const QString &catalogueName);
    void refreshAccessibleText();
    void layoutErrorHint();

    SFenwykDevicePtr m_device;
    bool m_error = false;
    QSizeF m_size;
    QRectF m_mainFrame; // bottom-up
    ImageView *m_mainImageView;
    ImageView *m_submainImageView;
    ImageView *m_subImageView;
    ImageView *m_subsubImageView;
    SLabel *m_oneHintLabel;
    SLabel *m_twoHintLabel;
    SLabel *m_threeHintLabel;
    SLabel *m_errorHintLabel;
};

} // namespace flashwell
