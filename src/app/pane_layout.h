// TPaneLayout: the pane base of the main window and where its three panes go.
//
// The three movable panes are the area tree pane (letter A), the message list pane (S) and
// the text pane (T). The pane base holds two containers, separated by the splitter
// "Splitter2": the strip of the two small panes ("PanelBase23", itself a splitter whose handle
// is Splitter1, holding "Panel2" and "Panel3") and the large pane "Panel1".
//
//   CutPattern  the strip lies   small panes       strip size / Panel2 size
//   Top         above Panel1     side by side      height BHeight / width BWidth
//   Bottom      below Panel1     side by side      height BHeight / width BWidth
//   Left        left of Panel1   stacked           width BWidth / height BHeight
//   Right       right of Panel1  stacked           width BWidth / height BHeight
//
// SetPattern names the panes of Panel2, Panel3 and Panel1 in that order (AST, ATS, SAT, STA,
// TAS, TSA); any other value leaves the panes where they are. In full-window display
// (PanelPlane N) the strip is hidden and all three panes lie in Panel1, one over the other:
// every pane can take the keyboard focus (Tab walks areas, list, text), and whichever pane
// receives it comes to the front.
//
// Splitter sizes stay as set when the window is resized: the strip and Panel2 keep their
// size, Panel1 and Panel3 take the rest.
#pragma once

#include <QWidget>

#include <array>
#include <string>

class QSplitter;

namespace pelorin {

struct TLayoutSettings {
    std::string cutPattern = "Top";
    std::string setPattern = "AST";
    bool panelPlane = true;  // three panes; false: full-window display
    int bWidth = 100;
    int bHeight = 80;
};

class TPaneLayout : public QWidget {
    Q_OBJECT

public:
    enum Pane { Areas, List, Text };

    // The three panes, in the order of their letters A, S, T; they become children of the
    // containers.
    TPaneLayout(QWidget* areas, QWidget* list, QWidget* text, QWidget* parent = nullptr);

    void Apply(const TLayoutSettings& settings);

    QWidget* PaneWidget(Pane pane) const { return panes_[pane]; }
    QWidget* Panel1() const { return panel1_; }
    QWidget* Panel2() const { return panel2_; }
    QWidget* Panel3() const { return panel3_; }
    QSplitter* Strip() const { return strip_; }
    QSplitter* Splitter2() const { return splitter2_; }
    // The container a pane lies in.
    QWidget* ContainerOf(Pane pane) const;

    bool SideBySide() const { return sideBySide_; }
    bool FullWindow() const { return fullWindow_; }
    // The pane in front of Panel1 in full-window display.
    QWidget* FrontPane() const;
    void BringToFront(QWidget* pane);

    // Strip and Panel2 sizes as the settings keep them (BWidth and BHeight): read from the
    // splitters while the strip is on screen, else the last values applied or moved.
    int BWidth() const;
    int BHeight() const;

    // Moves the pane borders by v pixels vertically and h horizontally: a strip above Panel1
    // and a stacked Panel2 grow by v in height, a strip left of Panel1 and a side-by-side
    // Panel2 grow by h in width.
    void MoveBorder(int v, int h);

private:
    void Place(QWidget* pane, QWidget* container);
    void ApplySizes();
    void OnFocusChanged(QWidget* now);

    std::array<QWidget*, 3> panes_{};
    QSplitter* splitter2_;
    QSplitter* strip_;
    QWidget* panel1_;
    QWidget* panel2_;
    QWidget* panel3_;
    bool sideBySide_ = true;
    bool fullWindow_ = false;
    bool stripFirst_ = true;  // the strip before Panel1 (Top, Left)
    int bWidth_ = 100;
    int bHeight_ = 80;
};

}  // namespace pelorin
