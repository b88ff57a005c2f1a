// dm730: the transfers of the window from a command line, on the same core.

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/operator_console.h"
#include "serial/port_table.h"
#include "serial/serial_channel.h"

namespace {

const char HelpText[] =
    "dm730 — przesyłanie danych między plikami a pamięcią sterownika Dm730 Selvo\n"
    "przez port szeregowy (38400 bodów, 8N1), to samo co w oknie programu Selvo.\n"
    "\n"
    "Użycie:\n"
    "  dm730 ports                  lista portów szeregowych (nazwa i opis)\n"
    "  dm730 detect [--port P]      znajdź sterownik: jego port i obie wersje\n"
    "  dm730 write RODZAJ PLIK [--port P]\n"
    "                               zapisz plik do pamięci Dm730\n"
    "  dm730 read RODZAJ PLIK [--port P] [--force]\n"
    "                               odczytaj obszar pamięci Dm730 do pliku\n"
    "  dm730 verify RODZAJ PLIK [--port P] [--max-differences N]\n"
    "                               porównaj plik z pamięcią Dm730\n"
    "  dm730 backup FOLDER [--port P] [--force]\n"
    "                               odczytaj wszystkie trzy obszary do folderu:\n"
    "                               firmware.upg, libraries.lib, scenes.usr\n"
    "\n"
    "RODZAJ danych i rozszerzenie pliku:\n"
    "  firmware     program sterownika, .upg (bloki 0-511)\n"
    "  libraries    biblioteki skanerów, .lib (bloki 512-895)\n"
    "  scenes       sceny użytkownika, .usr lub .bin (bloki 896-4095)\n"
    "\n"
    "Opcje:\n"
    "  --port P               port sterownika: COM3 w Windows, ścieżka urządzenia\n"
    "                         w Linuksie (/dev/ttyUSB0); bez tej opcji sterownik\n"
    "                         jest szukany na każdym porcie, jak robi to okno\n"
    "  --force                read, backup: zastąp istniejące pliki\n"
    "  --max-differences N    verify: wypisz najwyżej N różnic (domyślnie 20),\n"
    "                         pozostałe tylko policz\n"
    "  --quiet                nie pokazuj postępu ani podsumowania, tylko błędy\n"
    "                         (i różnice weryfikacji)\n"
    "  --help                 ten opis\n"
    "  --version              wersja programu\n"
    "\n"
    "Postęp: na terminalu jeden wiersz odświeżany w miejscu (blok, procent,\n"
    "szybkość, pozostały czas); do pliku lub potoku wiersz co dziesiątą część.\n"
    "Odczyt zbiera obszar w pliku PLIK.part i zastępuje nim PLIK dopiero, gdy\n"
    "nadszedł cały obszar; po błędzie lub Ctrl-C PLIK jest nietknięty, a PLIK.part\n"
    "zawiera odczytane bloki. Ctrl-C przerywa transmisję jak Esc w oknie.\n"
    "\n"
    "Kody wyjścia:\n"
    "  0    gotowe\n"
    "  1    błąd urządzenia lub łącza (komunikat okna na stderr)\n"
    "  2    złe użycie polecenia (także zmienione rozszerzenie pliku)\n"
    "  3    nie można otworzyć, odczytać lub zapisać pliku, plik jest dłuższy\n"
    "       niż obszar pamięci, albo plik już istnieje, a nie podano --force\n"
    "  4    weryfikacja znalazła różnice\n"
    "  5    nie znaleziono sterownika Dm730\n"
    "  6    nie można użyć portu (brak portu, brak uprawnień, zajęty, nie szeregowy)\n"
    "  130  przerwano (Ctrl-C)\n"
    "\n"
    "Przykłady:\n"
    "  dm730 backup kopia-sterownika-1\n"
    "  dm730 write scenes pokaz.usr --port /dev/ttyUSB0\n"
    "  dm730 verify firmware selvo.upg --max-differences 5\n";

ExitCode RunCommand(const CommandLine& line) {
    switch (line.command) {
    case CommandPorts: return RunPortsCommand(line);
    case CommandDetect: return RunDetectCommand(line);
    case CommandWrite: return RunWriteCommand(line);
    case CommandRead: return RunReadCommand(line);
    case CommandVerify: return RunVerifyCommand(line);
    case CommandBackup: return RunBackupCommand(line);
    case CommandVersion: PrintLine(ConsoleOut, "dm730 %s", SELVO_VERSION); return ExitDone;
    default: PrintText(ConsoleOut, HelpText); return ExitDone;
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string problem;
    if (ParseCommandLine(argc, argv, &line, &problem) != ParsedCommand) {
        PrintLine(ConsoleError, "dm730 : %s", problem.c_str());
        PrintLine(ConsoleError, "Opis poleceń : dm730 --help");
        return ExitUsage;
    }
    CatchInterrupt();
    ResetConsoleReport(line.maxDifferences);
    ExitCode code = RunCommand(line);
    CloseChannel();
    CloseChannelEvents();
    FreePortTable();
    return code;
}
