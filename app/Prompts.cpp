#include "app/Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace pw::app {

Prompts& Prompts::Instance() {
    static Prompts prompts = [] {
        Prompts p;
        p.Reset();
        return p;
    }();
    return prompts;
}

void Prompts::Reset() {
    ask = [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, kAppTitle, question, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
    };
    tell = [](QWidget* parent, const QString& text) { QMessageBox::information(parent, kAppTitle, text); };
    chooseFile = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, "Open", QString(),
                                            "Microsoft Access Database Files (*.mdb *.accdb);;All files (*)");
    };
    chooseFolder = [](QWidget* parent) {
        return QFileDialog::getExistingDirectory(parent, " Please select the Destination folder ");
    };
}

}  // namespace pw::app
