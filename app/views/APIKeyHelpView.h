#pragma once

#include <QWidget>

// Walks the user through getting an API key from either provider. Its
// "Done" button closes the window it sits in.
class APIKeyHelpView : public QWidget {
    Q_OBJECT
public:
    explicit APIKeyHelpView(QWidget* parent = nullptr);
};
