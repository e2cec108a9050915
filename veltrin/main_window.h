// frmMain: the Veltrin window. One slot per button; every library call runs
// to its end inside the slot and blocks the window, as the unit exchanges are
// short. The row states and the layout arithmetic live in mode_rows.h and
// layout_rule.h.
#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "veltrin/lumetra_binding.h"
#include "veltrin/mode_rows.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTextEdit;

namespace veltrin {

class MainWindow : public QWidget {
    Q_OBJECT

  public:
    // Asks for the file to save the mode report in; an empty name is a cancel.
    using SaveFileChooser = std::function<QString(QWidget* parent)>;

    explicit MainWindow(LumetraBinding* library, QWidget* parent = nullptr);

    // Tests answer the save dialog through this; the window's own is a
    // QFileDialog.
    void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }
    // The window's own chooser: a save dialog for *.TXT files that asks
    // before replacing a file.
    static QString askSaveFile(QWidget* parent);
    // Loads VeltrinHelp.rtf from `folder` (the program's) into the help
    // pane; a missing or unreadable file leaves the pane empty.
    void loadHelp(const QString& folder);

    int modeCount() const { return modeCount_; }
    const ModeRows& rows() const { return rows_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private slots:
    void readModes();
    void setMode();
    void disconnectUnit();
    void commit();
    void textReset();
    void refreshAll();
    void saveToFile();
    void restartUnit();
    void showHelp();
    void closeHelp();
    void exitProgram();
    void addressEdited(const QString& text);
    void currentCellChanged(int row, int column, int previousRow, int previousColumn);
    void gridScrolled();

  private:
    void buildControls();
    void setTabOrder();
    void applyLayout();
    void setTextbox();

    // Grid access in grid numbering: row 0 is the header.
    QTableWidgetItem* cell(int row, int column);
    void setCellColours(int row, int column, const QColor& background, const QColor& text);
    void setCellBold(int row, int column, bool bold);
    void moveCurrent(int row, int column);
    void clearGrid();
    void loadTable();
    void resetRows();
    // Rows the per-row loops cover: ModeCount, never beyond the rows loaded.
    int rowsInUse() const;

    void enterStep();
    void leaveStep(int row);
    void editorEnter();
    void placeEditor(int row);
    void hideEditor();

    void setSignal(QPushButton* button, Signal signal);
    // Commit and Refresh back to neutral, as every checking operation starts.
    void resetCheckSignals();
    void showLibraryProblem();

    LumetraBinding* library_;
    SaveFileChooser chooseSaveFile_;

    QLabel* label1_ = nullptr;
    QLineEdit* ip_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* setMode_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    QPushButton* commit_ = nullptr;
    QPushButton* textReset_ = nullptr;
    QPushButton* refreshAll_ = nullptr;
    QPushButton* saveToFile_ = nullptr;
    QPushButton* restart_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QTextEdit* userGuide_ = nullptr;
    QLabel* info_ = nullptr;
    QLineEdit* text1_ = nullptr;

    QString unitAddress_;
    int modeCount_ = 0;
    ModeRows rows_;
    bool gridReady_ = false;
    int currentRow_ = 0;  // grid numbering; 0 while no mode row is current
    int currentColumn_ = 0;
    bool helpOpen_ = false;
    std::array<bool, 9> savedEnabled_{};
};

}  // namespace veltrin
