#pragma once
// The welcome texts, the maker's logo and links, on the window itself behind
// the page control: seen while no page is shown.

#include <QObject>
#include <vector>

class QLabel;
class QWidget;

namespace rpu {

class WelcomeArea final : public QObject {
    Q_OBJECT
public:
    // The labels are children of window, at window positions.
    explicit WelcomeArea(QWidget *window);
    // Only this edition's texts are seen.
    void ShowEdition();
    // Under a shown page control the texts are hidden: not painted again
    // with every page, and the links not reached by Tab.
    void SetCovered(bool covered);

private:
    void ShowTexts();

    std::vector<QLabel *> general_;
    std::vector<QLabel *> edition_;
    bool editionShown_ = false;
    bool covered_ = false;
};

} // namespace rpu
