// SPDX-License-Identifier: Apache-2.0
// frmMain, the Qt view of the Veltrin window: builds the controls, maps them
// to the View interface and hands every button, key and grid event to
// MainLogic, which decides what happens. One slot per action.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>

#include "frontends/veltrin/library.h"
#include "frontends/veltrin/main_logic.h"
#include "frontends/veltrin/view.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QTableWidget;
class QTableWidgetItem;
class QTextEdit;

namespace veltrin {

// A row as the window's tests read it, its texts widened.
struct ShownRow {
    QString name;
    QString help;
    QString content;
    QString newContent;
    RowState state = RowState::Clean;
};

class ShownRows {
  public:
    explicit ShownRows(const ModeRows& rows) : rows_(rows) {}
    int count() const { return rows_.count(); }
    ShownRow operator[](int row) const;

  private:
    const ModeRows& rows_;
};

class MainWindow : public QWidget, private View {
    Q_OBJECT

  public:
    // Asks for the file to save the mode report in; an empty name is a cancel.
    using SaveFileChooser = std::function<QString(QWidget* parent)>;

    explicit MainWindow(Library* library, QWidget* parent = nullptr);

    // Tests answer the save dialog through this; the window's own is a
    // QFileDialog.
    void setSaveFileChooser(SaveFileChooser chooser) { chooseSaveFile_ = std::move(chooser); }
    // The window's own chooser: a save dialog for *.TXT files that asks
    // before replacing a file.
    static QString askSaveFile(QWidget* parent);
    // Loads the help file from `folder` (the program's) into the help pane;
    // a missing or unreadable file leaves the pane empty.
    void loadHelp(const QString& folder);

    int modeCount() const { return logic_.modeCount(); }
    ShownRows rows() const { return ShownRows(logic_.rows()); }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private slots:
    void readModes() { logic_.readModes(); }
    void addressEdited(const QString& text);
    void currentCellChanged(int row, int column, int previousRow, int previousColumn);
    void gridScrolled() { logic_.scrolled(); }
    void editorEnter() { logic_.editorEnter(); }

  private:
    void buildControls();
    // A button of the form pressed (clicked, Space or Enter).
    void pressed(Control button);
    void setTabOrder();
    QWidget* widget(Control control) const;
    QTableWidgetItem* item(int row, int column);
    // The editor's keys that move the current cell.
    static std::optional<GridKey> editorMoveKey(const QKeyEvent& key);

    // View.
    void enableControl(Control control, bool enabled) override;
    void showControl(Control control, bool shown) override;
    void giveFocus(Control control) override;
    void setButtonColour(Control button, const ui::Colour& colour) override;
    void setStatus(const std::string& text) override;
    void setAddress(const std::string& text) override;
    void setBusy(bool busy) override;
    void setRowCount(int modes) override;
    void setCell(int row, int column, const Cell& cell) override;
    void clearGrid() override;
    void showCurrentCell(int row, int column) override;
    void placeEditor(int row, int column, const std::string& text, bool focus) override;
    void hideEditor() override;
    std::string editorText() override;
    void setEditorText(const std::string& text) override;
    void applyLayout(const Layout& layout) override;
    std::optional<SaveChoice> askReportFile() override;
    void showMessage(const std::string& title, const std::string& text) override;
    void quit() override;

    SaveFileChooser chooseSaveFile_;
    std::array<QWidget*, kControlCount> controls_{};
    QLineEdit* ip_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QTextEdit* userGuide_ = nullptr;
    QLabel* info_ = nullptr;
    QLineEdit* text1_ = nullptr;
    bool busy_ = false;
    MainLogic logic_;
};

}  // namespace veltrin
