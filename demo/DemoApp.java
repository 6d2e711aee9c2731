import java.io.File;

/** The demo application: says hello and shows what the launcher gave it. */
public class DemoApp {
    public static void main(String[] args) {
        System.out.println("Hello from the tavrin demo application.");
        System.out.println("Running on Java " + System.getProperty("java.version") + " ("
                + System.getProperty("java.vendor") + ")");
        System.out.println("Working directory: " + new File("").getAbsolutePath());
        // Set through java-options in tavrin.ini: a JVM option, not an argument.
        System.out.println("JVM option tavrin.demo: " + System.getProperty("tavrin.demo"));
        System.out.println("Arguments: " + args.length);
        for (String argument : args) {
            System.out.println("  [" + argument + "]");
        }
    }
}
