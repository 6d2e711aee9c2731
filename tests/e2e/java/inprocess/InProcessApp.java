/** Tells which program runs it, and its arguments; sleep=MS waits, exit=N ends with N. */
public class InProcessApp {
    public static void main(String[] args) throws Exception {
        System.out.println("command: " + ProcessHandle.current().info().command().orElse("?"));
        System.out.println("arguments: " + String.join("|", args));
        System.out.flush();
        for (String argument : args) {
            if (argument.startsWith("sleep=")) {
                Thread.sleep(Long.parseLong(argument.substring(6)));
            }
        }
        for (String argument : args) {
            if (argument.startsWith("exit=")) {
                System.exit(Integer.parseInt(argument.substring(5)));
            }
        }
    }
}
