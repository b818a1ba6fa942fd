// The cheapest possible RCON client, for soak runs: tens of thousands of them are started,
// and only the plugin's side of each start is under test.
int main() {
    return 0;
}
