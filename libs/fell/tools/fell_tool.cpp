// Placeholder until the device tool lands.
int main() {
  return 0;
}
