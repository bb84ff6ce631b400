// Shows one page of the whole wizard and then waits, doing nothing, until it
// is ended. The frame, the pages and the English movie are the real ones,
// driven through the movie's own buttons as the end-to-end walk drives them,
// with an animation already written for the save page. bench/idle_cpu.py
// --page measures what the page costs while a user only looks at it, with the
// pages passed on the way hidden behind it.
//
//   idle_page start|content|save|transfer
//
// Prints "ready PAGE" on stdout once the page is on show.
#include "route_tables.h"
#include "wizard_driver_support.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const char* page = argc > 1 ? argv[1] : "start";
    struct Route {
        const char* name;
        int page;
        int nexts;     // how many times Next is pressed after the start page's choices
        bool bNew;     // a new animation rather than pictures to open
    };
    const Route routes[] = {
        {"start", kPageStart, 0, false},
        {"content", kPageContent, 1, false},
        {"save", kPageSave, 2, true},
        {"transfer", kPageTransfer, 3, true},
    };
    const Route* route = nullptr;
    for (const Route& r : routes)
        if (std::strcmp(r.name, page) == 0)
            route = &r;
    if (!route) {
        std::fprintf(stderr, "usage: idle_page start|content|save|transfer\n");
        return 2;
    }

    e2e::WizardDriver wizard("EN");
    if (route->nexts > 0) {
        wizard.Key(Qt::Key_Return); // the welcome moves on to the choices
        if (route->bNew && !wizard.Click(QStringLiteral("choiceNew"))) {
            std::fprintf(stderr, "idle_page: no choice of a new animation on the start page\n");
            return 1;
        }
        for (int i = 0; i < route->nexts; ++i) {
            if (!wizard.Click(QStringLiteral("nextButton"))) {
                std::fprintf(stderr, "idle_page: no Next button on page %d\n", wizard.CurrentPage());
                return 1;
            }
        }
    }
    if (wizard.CurrentPage() != route->page) {
        std::fprintf(stderr, "idle_page: reached page %d instead of %s\n", wizard.CurrentPage(), route->name);
        return 1;
    }
    std::printf("ready %s\n", route->name);
    std::fflush(stdout);
    return QApplication::exec();
}
