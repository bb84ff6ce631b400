// The About box: the program's name, version and the libraries it is built on.
#pragma once

#include <QDialog>

class CDlgAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "About Create animation wizard";
    static constexpr const char* kText = "Create animation wizard\nVersion RC4 (1.3)";
    static constexpr const char* kCredits =
        "This program uses the JPEG library of libjpeg-turbo, based on the work of the Independent JPEG Group; "
        "libpng, the PNG reference library; zlib by Jean-loup Gailly and Mark Adler; and the Qt toolkit.";

    explicit CDlgAbout(QWidget* parent);
};
