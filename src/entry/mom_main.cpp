// Entry of the command-line program: one request per process.
int main() {
    return 0;
}
