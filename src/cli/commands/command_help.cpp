// The help: the usage lines, the kinds and the options come from the tables
// of the command line, the rest is said here.
#include "cli/commands/arguments.h"
#include "cli/commands/commands.h"
#include "cli/console/console_output.h"

namespace {

// The usage lines come from the command table (UsageOf), the rest from here.
const char HelpHead[] =
    "dm730 — przesyłanie danych między plikami a pamięcią sterownika Dm730 Selvo\n"
    "przez port szeregowy (38400 bodów, 8N1), to samo co w oknie programu Selvo.\n"
    "\n"
    "Użycie (opcje mogą stać przed poleceniem lub po nim):\n";

const char HelpBackups[] =
    "  dm730 help [POLECENIE]\n"
    "    ten opis albo opis jednego polecenia\n"
    "Kopia zapasowa (backup) zapisuje pliki firmware.upg, libraries.lib, scenes.usr,\n"
    "opis kopii manifest.json i sumy SHA256SUMS; zastępuje te pięć plików razem\n"
    "albo wcale. restore i verify FOLDER najpierw sprawdzają opis kopii, rozmiar\n"
    "i sumę SHA-256 każdego pliku; przy niezgodności nic nie jest wysyłane.\n"
    "\n"
    "RODZAJ danych, rozszerzenie pliku i wielkość obszaru:\n";

const char HelpBlocks[] =
    "Blok ma 256 bajtów; bloki liczone są w obrębie obszaru, od 1: \"blok N z M\"\n"
    "w postępie, w różnicach weryfikacji i w komunikatach.\n"
    "\n"
    "Opcje:\n";

const char HelpTail[] =
    "\n"
    "Wyniki (ports, detect, różnice weryfikacji, podsumowanie) idą na stdout,\n"
    "postęp i komunikaty na stderr. Postęp: na terminalu jeden wiersz odświeżany\n"
    "w miejscu (blok, procent, szybkość, pozostały czas); do pliku lub potoku\n"
    "wiersz co dziesiątą część.\n"
    "Odczyt zbiera obszar w pliku PLIK.part i zastępuje nim PLIK dopiero, gdy\n"
    "nadszedł cały obszar; po błędzie lub Ctrl-C PLIK jest nietknięty, a PLIK.part\n"
    "zawiera odczytane bloki: --resume dokończy odczyt. Bez --force odczyt nie\n"
    "zastąpi ani PLIK, ani PLIK.part. Zapis odmawia pliku pustego i dłuższego niż\n"
    "obszar. Ctrl-C przerywa transmisję jak Esc w oknie; przerwany zapis mówi,\n"
    "które bloki mają już nowe dane.\n"
    "\n"
    "Kody wyjścia:\n"
    "  0    gotowe\n"
    "  1    błąd urządzenia lub łącza, albo ostrzeżenie (komunikat okna na stderr);\n"
    "       linetest: linia nie jest w porządku\n"
    "  2    złe użycie polecenia (także zmienione rozszerzenie pliku, albo --port\n"
    "       pasujący do kilku portów)\n"
    "  3    błąd pliku: brak, nie zwykły plik, nie można go otworzyć, odczytać\n"
    "       lub zapisać, plik pusty lub dłuższy niż obszar pamięci, albo PLIK\n"
    "       lub PLIK.part już istnieje, a nie podano --force (ani --resume);\n"
    "       kopia zapasowa niezgodna ze swoim opisem (nic nie wysłano)\n"
    "  4    weryfikacja (także po zapisie i przy odtworzeniu) znalazła różnice\n"
    "  5    nie znaleziono sterownika Dm730 (port otwarty, nikt nie odpowiedział)\n"
    "  6    podanego portu nie można użyć (nie ma go, brak uprawnień, zajęty,\n"
    "       to nie port szeregowy, --port nie pasuje do żadnego portu) albo folder\n"
    "       kopii jest w użyciu przez inny dm730\n"
    "  130  przerwano (Ctrl-C)\n"
    "Z kilkoma portami (--port ... --port, --all) kod jest najgorszy z kodów\n"
    "sterowników, w kolejności: 130, 1, 4, 6, 5, 3, 2, 0.\n"
    "\n"
    "Przykłady:\n"
    "  dm730 backup kopia-sterownika-1\n"
    "  dm730 restore kopia-sterownika-1 --port COM4\n"
    "  dm730 write scenes pokaz.usr --port /dev/ttyUSB0\n"
    "  dm730 read scenes pokaz.usr --resume\n"
    "  dm730 verify firmware selvo.upg --max-differences 5\n"
    "  dm730 backup kopia --port serial=A12345\n"
    "  dm730 linetest --port /dev/ttyUSB0\n";

}  // namespace

ExitCode RunHelpCommand(const CommandLine& line) {
    CommandId topic = line.topic;
    if (topic != CommandHelp) {
        PrintText(ConsoleOut, UsageOf(topic).c_str());
        return ExitDone;
    }
    PrintText(ConsoleOut, HelpHead);
    PrintText(ConsoleOut, UsageOf(CommandHelp).c_str());
    PrintText(ConsoleOut, HelpBackups);
    PrintText(ConsoleOut, KindsHelp().c_str());
    PrintText(ConsoleOut, HelpBlocks);
    PrintText(ConsoleOut, OptionsHelp().c_str());
    PrintText(ConsoleOut, HelpTail);
    return ExitDone;
}
