#pragma once
// The about box: the maker's banner, the product's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

// What the program says about itself. A missing value is empty; without any
// version data both read "Updated at run-time".
struct TVersionInfo {
    bool Present = true;
    QString ProductName;
    QString FileVersion;
    static TVersionInfo Program(); // as the build made it
};

class TfmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfmAbout(TVersionInfo info = TVersionInfo::Program(), QWidget *parent = nullptr);

    // Enter and Escape both mean OK.
    void reject() override { accept(); }

    QLabel *RTFLabel1, *laProgramName, *laProgramVersion, *Label1;
    QPushButton *btOK;

protected:
    void showEvent(QShowEvent *event) override;

private:
    TVersionInfo fInfo;
};
